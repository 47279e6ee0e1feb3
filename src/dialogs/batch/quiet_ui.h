#pragma once

#include <string>

#include "platform/ui.h"

namespace qv {

// A Ui that shows nothing: it keeps the first message text and answers every box with OK or
// No and every chooser with Cancel. The live checks of a dialog run on it, so a value half
// typed gives a line in the dialog instead of a box at every key.
class QuietUi : public Ui {
  public:
    Button message(const std::string& text, const std::optional<std::string>&, Icon,
                   Buttons buttons) override {
        if (first_message_.empty())
            first_message_ = text;
        return is_yes_no(buttons) ? Button::No : Button::Ok;
    }
    std::optional<std::string> open_file(const ChooserRequest&) override { return std::nullopt; }
    std::optional<std::string> save_file(const ChooserRequest&) override { return std::nullopt; }
    std::optional<std::string> choose_directory(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void busy(bool) override {}
    void beep() override {}
    void process_events() override {}
    bool may_ask_again() const override { return false; }

    const std::string& first_message() const { return first_message_; }
    void forget() { first_message_.clear(); }

  private:
    std::string first_message_;
};

}  // namespace qv
