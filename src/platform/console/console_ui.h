#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace qv {

// What the program showed or asked, in order (qvopt prints these).
struct UiEvent {
    std::string kind;  // "message", "open_chooser", "save_chooser"
    std::string text;
    std::optional<std::string> title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    ChooserRequest request;
};

// The Ui of qvopt: nobody is there to answer, so every message box is answered with its first
// button and every chooser is cancelled; the program may not ask again for a file.
class ConsoleUi : public Ui {
  public:
    Button message(const std::string& text, const std::optional<std::string>& title, Icon icon,
                   Buttons buttons) override;
    std::optional<std::string> open_file(const ChooserRequest& request) override;
    std::optional<std::string> save_file(const ChooserRequest& request) override;
    std::optional<std::string> choose_directory(const std::string& title,
                                                const std::string& initial_dir) override;
    void busy(bool) override {}
    void beep() override {}
    void process_events() override {}
    bool may_ask_again() const override { return false; }

    const std::vector<UiEvent>& events() const { return events_; }

  private:
    std::vector<UiEvent> events_;
};

}  // namespace qv
