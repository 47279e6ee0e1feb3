#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv {

enum class Icon { None, Information, Exclamation, Question };

// The title a message box shows when it carries none of its own.
inline constexpr const char* application_title = "QV-GUI";
// YesNoDefaultNo: Yes and No with No as the default (Enter), for a question whose Yes ends work.
enum class Buttons { Ok, YesNo, YesNoCancel, YesNoDefaultNo };
inline bool is_yes_no(Buttons b) {
    return b == Buttons::YesNo || b == Buttons::YesNoDefaultNo;
}
// Cancel: the Cancel button of a Yes/No/Cancel box, or Esc or the close box on it.
enum class Button { Ok, Yes, No, Cancel };

// A file chooser request. The filter is in the "description|pattern|description|pattern" form;
// filter_index counts from 1. Paths are in program form (either separator).
struct ChooserRequest {
    std::string title;
    std::string filter;
    int filter_index = 1;
    std::string initial_dir;
    std::string initial_name;
    bool overwrite_prompt = false;
    // An open chooser that accepts only a file that exists.
    bool must_exist = false;
    // Lists only files that may be run (and folders): programs on this host rarely have a
    // name ending of their own.
    bool executables_only = false;
};

// The user-facing services the program's logic calls. Implementations: Qt (qv-gui), console
// (qvopt), ScriptedUi (tests). Chosen paths come back in program form, with "\" separators.
class Ui {
  public:
    virtual ~Ui() = default;

    // title: nullopt shows application_title.
    virtual Button message(const std::string& text, const std::optional<std::string>& title,
                           Icon icon = Icon::None, Buttons buttons = Buttons::Ok) = 0;
    // nullopt: the user cancelled.
    virtual std::optional<std::string> open_file(const ChooserRequest& request) = 0;
    virtual std::optional<std::string> save_file(const ChooserRequest& request) = 0;
    // The open chooser that takes several files at once; empty when the user cancelled. Where
    // the chooser takes one file at a time, that one.
    virtual std::vector<std::string> open_files(const ChooserRequest& request) {
        auto one = open_file(request);
        return one ? std::vector<std::string>{*one} : std::vector<std::string>{};
    }
    virtual std::optional<std::string> choose_directory(const std::string& title,
                                                        const std::string& initial_dir) = 0;
    virtual void busy(bool on) = 0;
    virtual void beep() = 0;
    virtual void process_events() = 0;

    // False where nobody can be asked for another options file (qvopt): the reader then stops
    // with ChooserStop instead of opening the chooser again and again.
    virtual bool may_ask_again() const { return true; }
};

// Busy pointer for the length of a scope.
class BusyPointer {
  public:
    explicit BusyPointer(Ui& ui) : ui_(ui) { ui_.busy(true); }
    ~BusyPointer() { ui_.busy(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

  private:
    Ui& ui_;
};

}  // namespace qv
