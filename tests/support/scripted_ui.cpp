#include "support/scripted_ui.h"

#include <gtest/gtest.h>

namespace qv::test {

Button ScriptedUi::message(const std::string& text, const std::optional<std::string>& title,
                           Icon icon, Buttons buttons) {
    UiCall c;
    c.kind = "message";
    c.text = text;
    c.title = title;
    c.icon = icon;
    c.buttons = buttons;
    calls_.push_back(c);
    if (on_message)
        on_message(c);
    if (buttons == Buttons::Ok)
        return Button::Ok;
    if (answers_.empty() || !std::holds_alternative<Button>(answers_.front())) {
        ADD_FAILURE() << "unexpected question box: " << text;
        return buttons == Buttons::YesNoCancel ? Button::Cancel : Button::No;
    }
    Button b = std::get<Button>(answers_.front());
    answers_.pop_front();
    return b;
}

std::optional<std::string> ScriptedUi::next_path(const char* kind, const ChooserRequest& request) {
    if (answers_.empty() || std::holds_alternative<Button>(answers_.front())) {
        ADD_FAILURE() << "unexpected " << kind << ": " << request.title;
        return std::nullopt;
    }
    Answer a = answers_.front();
    answers_.pop_front();
    if (auto* path = std::get_if<std::optional<std::string>>(&a))
        return *path;
    const std::string& name = request.initial_name;
    if (name.empty())
        return std::nullopt;
    const bool has_dir =
        name.find_first_of("\\/") != std::string::npos || (name.size() > 1 && name[1] == ':');
    return has_dir ? name : request.initial_dir + "\\" + name;
}

std::optional<std::string> ScriptedUi::open_file(const ChooserRequest& request) {
    UiCall c;
    c.kind = "open_file";
    c.text = request.title;
    c.request = request;
    calls_.push_back(c);
    return next_path("open chooser", request);
}

std::optional<std::string> ScriptedUi::save_file(const ChooserRequest& request) {
    UiCall c;
    c.kind = "save_file";
    c.text = request.title;
    c.request = request;
    calls_.push_back(c);
    return next_path("save chooser", request);
}

std::optional<std::string> ScriptedUi::choose_directory(const std::string& title,
                                                        const std::string& initial_dir) {
    UiCall c;
    c.kind = "choose_directory";
    c.text = title;
    c.request.title = title;
    c.request.initial_dir = initial_dir;
    calls_.push_back(c);
    return next_path("directory chooser", c.request);
}

void ScriptedUi::busy(bool on) {
    busy_depth_ += on ? 1 : -1;
}

void ScriptedUi::beep() {
    UiCall c;
    c.kind = "beep";
    calls_.push_back(c);
}

std::vector<std::string> ScriptedUi::messages() const {
    std::vector<std::string> r;
    for (const auto& c : calls_)
        if (c.kind == "message")
            r.push_back(c.text);
    return r;
}

}  // namespace qv::test
