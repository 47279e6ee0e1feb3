#include "platform/console/console_ui.h"

namespace qv {

Button ConsoleUi::message(const std::string& text, const std::optional<std::string>& title,
                          Icon icon, Buttons buttons) {
    UiEvent e;
    e.kind = "message";
    e.text = text;
    e.title = title;
    e.icon = icon;
    e.buttons = buttons;
    events_.push_back(std::move(e));
    return buttons == Buttons::Ok ? Button::Ok : Button::Yes;
}

std::optional<std::string> ConsoleUi::open_file(const ChooserRequest& request) {
    UiEvent e;
    e.kind = "open_chooser";
    e.text = request.title;
    e.request = request;
    events_.push_back(std::move(e));
    return std::nullopt;
}

std::optional<std::string> ConsoleUi::save_file(const ChooserRequest& request) {
    UiEvent e;
    e.kind = "save_chooser";
    e.text = request.title;
    e.request = request;
    events_.push_back(std::move(e));
    return std::nullopt;
}

std::optional<std::string> ConsoleUi::choose_directory(const std::string& title,
                                                       const std::string& initial_dir) {
    UiEvent e;
    e.kind = "open_chooser";
    e.text = title;
    e.request.title = title;
    e.request.initial_dir = initial_dir;
    events_.push_back(std::move(e));
    return std::nullopt;
}

}  // namespace qv
