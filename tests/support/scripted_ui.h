#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui.h"

namespace qv::test {

// One call the program made on the Ui, with its exact arguments.
struct UiCall {
    std::string kind;  // "message", "open_file", "save_file", "choose_directory", "beep"
    std::string text;  // message text, or chooser title
    std::optional<std::string> title;  // message title (nullopt: application title)
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    ChooserRequest request;
};

// A Ui for tests: records every call and answers from a script. OK-only message boxes are
// answered OK without a script entry; Yes/No(/Cancel) boxes and choosers take the next scripted
// answer, and a call with no answer queued fails the test (and is answered No / Cancel).
// `on_message` sees every box while it is shown, before it is answered.
class ScriptedUi : public Ui {
  public:
    // The user presses Enter on the name the chooser offers.
    struct StartName {};
    using Answer = std::variant<Button, std::optional<std::string>, StartName>;

    void answer(Button b) { answers_.emplace_back(b); }
    void choose(std::string path) { answers_.emplace_back(std::optional<std::string>(path)); }
    void cancel_chooser() { answers_.emplace_back(std::optional<std::string>()); }
    // The chooser returns its start name as a real one does: a path as it is, a bare name in
    // the directory it opened in (nullopt when it offered no name).
    void accept_start_name() { answers_.emplace_back(StartName{}); }

    Button message(const std::string& text, const std::optional<std::string>& title, Icon icon,
                   Buttons buttons) override;
    std::optional<std::string> open_file(const ChooserRequest& request) override;
    std::optional<std::string> save_file(const ChooserRequest& request) override;
    std::optional<std::string> choose_directory(const std::string& title,
                                                const std::string& initial_dir) override;
    void busy(bool on) override;
    void beep() override;
    void process_events() override {}
    bool may_ask_again() const override { return may_ask_again_; }

    const std::vector<UiCall>& calls() const { return calls_; }
    // The texts of the message boxes shown, in order.
    std::vector<std::string> messages() const;
    bool all_answers_used() const { return answers_.empty(); }
    int busy_depth() const { return busy_depth_; }
    void clear() { calls_.clear(); }
    bool may_ask_again_ = true;
    std::function<void(const UiCall&)> on_message;

  private:
    std::optional<std::string> next_path(const char* kind, const ChooserRequest& request);
    std::deque<Answer> answers_;
    std::vector<UiCall> calls_;
    int busy_depth_ = 0;
};

}  // namespace qv::test
