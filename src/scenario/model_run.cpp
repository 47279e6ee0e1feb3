#include "scenario/model_run.h"

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "scenario/options_file.h"
#include "scenario/text.h"

namespace qv {

ModelRunOutcome run_model(Session& s, ModelWaiter& model) {
    const ShellSettings& cfg = s.settings;
    ModelRunOutcome outcome;
    {
        BusyPointer busy(s.ui);
        // A refused save has shown its own message; the run stops there, since the model would
        // run on a file that does not hold the scenario the user asked to run.
        outcome.saved = update_default_option_file(s);
    }
    if (!outcome.saved)
        return outcome;

    const std::string option_file = s.option_file_path();
    const std::string model_path = join_path(cfg.model_dir, cfg.model_exe);
    outcome.command_line = model_path + " " + option_file;
    bool busy = false;
    try {
        s.fs.set_current_dir(cfg.model_dir);
        s.fs.write_file(join_path(cfg.model_dir, "quarvel.bat"),
                        "CD " + cfg.model_dir + "\r\n" + cfg.model_exe + " " +
                            join_path(s.sc.option_file_dir, s.sc.option_file_name) + "\r\n");
        s.ui.busy(true);
        busy = true;
        outcome.exit_code =
            model.run_and_wait(s.fs.host_path(model_path), {s.fs.host_path(option_file)},
                               s.fs.host_path(cfg.model_dir));
        outcome.started = true;
        s.show_summary();
        s.fs.set_current_dir(cfg.app_dir);
    } catch (const AppError& e) {
        outcome.error_number = e.number();
        if (e.number() != err::overflow)
            s.ui.message(
                "Problem starting Core Model\n\nCommand string: " + lower(outcome.command_line) +
                    "\n\nMake sure the Core model executable exists and is in the correct "
                    "path.",
                cfg.msgbox_title, Icon::Exclamation);
        s.log.write("Problem running file error number " + std::to_string(e.number()) +
                    " command string " + outcome.command_line);
    }
    if (busy)
        s.ui.busy(false);
    return outcome;
}

}  // namespace qv
