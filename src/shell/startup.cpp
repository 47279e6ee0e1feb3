#include "shell/startup.h"

#include <QDir>
#include <filesystem>

#include "platform/fs/path_form.h"
#include "platform/fs/user_config.h"
#include "scenario/config.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"

namespace qv {

namespace {

const char* const option_filter =
    "option (*.opt)|*.opt|text files (*.txt)|*.txt|All files (*.*)|*.*";
// The reporting tool: the described filter stays first and selected, with a second entry that
// shows every file.
const char* const any_file = "|All files (*)|*";

[[noreturn]] void must_have(Session& s, const std::string& text, bool own_title) {
    if (own_title)
        s.message(text);
    else
        s.untitled_message(text);
    Session::end_program();
}

// Failures here belong to the start-up error branch, so they are not swallowed.
void enter_app_dir(Session& s) {
    s.fs.set_current_dir(s.settings.app_dir);
}

}  // namespace

std::string already_running_text() {
    return "It appears the application is already running. Running mulitiple \n"
           "instances of this program could lead to problems.  If you are\n"
           "sure the application is not running, you can continue.\n\n"
           "                     Would you like to continue anyway?";
}

void select_model(Session& s) {
    ChooserRequest r;
    r.title = "Select Model";
    // Every program first; the described entry beside it.
    r.filter = "model (executable files)|*|model (*.exe)|*.exe";
    r.executables_only = true;
    auto chosen = s.ui.open_file(r);
    if (!chosen)
        must_have(s, "Must select Model", false);
    s.settings.model_exe = split_file_name(*chosen);
    s.settings.model_dir = split_dir(*chosen);
    enter_app_dir(s);
}

void select_option_template(Session& s) {
    ChooserRequest r;
    r.title = "Select Option template";
    r.filter = option_filter;
    r.initial_dir = s.settings.model_dir;
    auto chosen = s.ui.open_file(r);
    if (!chosen)
        must_have(s, "Must have default option file", true);
    s.sc.option_file_name = split_file_name(*chosen);
    s.sc.option_file_dir = split_dir(*chosen);
    enter_app_dir(s);
}

void name_new_option_file(Session& s) {
    ChooserRequest r;
    r.title = "Name new option file";
    r.filter = option_filter;
    r.initial_dir = s.settings.model_dir;
    for (;;) {
        auto chosen = s.ui.save_file(r);
        Name83 rule = chosen ? check_83_name(s, *chosen) : Name83::NoPeriod;
        if (rule == Name83::TooLong)
            continue;
        if (rule == Name83::NoPeriod)
            must_have(s, "Must have new option file", false);
        s.sc.save_file_name = split_file_name(*chosen);
        s.sc.save_file_dir = split_dir(*chosen);
        enter_app_dir(s);
        return;
    }
}

void select_data_dir(Session& s) {
    // The data usually lies under the user's home, seldom at the root.
    auto chosen = s.ui.choose_directory("Navigate to Data files and select",
                                        s.fs.program_path(QDir::homePath().toStdString()));
    if (!chosen)
        must_have(s, "Must Define Data Path", false);
    std::string dir = *chosen;
    while (dir.size() > 1 && is_path_separator(dir.back()) && dir[dir.size() - 2] != ':')
        dir.pop_back();
    s.settings.data_dir = dir;
    enter_app_dir(s);
}

void select_access(Session& s) {
    ChooserRequest r;
    r.title = "Select MSACCESS.EXE";
    r.filter = std::string("option (*.exe)|*.exe") + any_file;
    r.initial_dir = "c:\\program files\\microsoft office\\office";
    auto chosen = s.ui.open_file(r);
    if (!chosen) {
        s.message("Will not transfer to ACCESS");
        s.settings.access_exe.clear();
        return;
    }
    s.settings.access_exe = *chosen;
    enter_app_dir(s);
}

void first_run_setup(Session& s) {
    select_model(s);
    select_option_template(s);
    name_new_option_file(s);
    select_data_dir(s);
    select_access(s);
    write_config_file(s);
    s.settings.config_path = join_path(s.settings.files_dir(), "qv-gui.ini");
}

bool offer_demo_workspace(Session& s, const DemoOffer& offer) {
    ShellSettings& cfg = s.settings;
    const std::string model = join_path(s.fs.program_path(offer.workspace), "model");
    const std::string question =
        "This is the first start of qv-gui. Start with the demo "
        "workspace?\n\nYes copies it to " +
        model +
        " and opens its options file demo.opt.\nNo asks for the "
        "model, the options files and the data directory.";
    if (s.message(question, Icon::Question, Buttons::YesNo) != Button::Yes)
        return false;
    try {
        copy_demo_workspace(offer.demo_dir, offer.model_program, offer.workspace);
    } catch (const std::filesystem::filesystem_error& e) {
        s.message("The demo workspace could not be copied to " + model + ":\n" + e.code().message(),
                  Icon::Exclamation);
        return false;
    }
    cfg.model_dir = model;
    cfg.model_exe = "qv-demo-model";
    s.sc.option_file_name = "demo.opt";
    s.sc.save_file_name = "demo.opt";
    cfg.data_dir = join_path(model, "data");
    // No reporting tool on this platform.
    cfg.access_exe.clear();
    write_config_file(s);
    return true;
}

}  // namespace qv
