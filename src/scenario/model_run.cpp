#include "scenario/model_run.h"

#include <chrono>
#include <thread>

#include "platform/app_error.h"
#include "scenario/options_file.h"
#include "scenario/text.h"

namespace qv {

namespace {

constexpr auto poll_interval = std::chrono::milliseconds(100);

int wait_for_model(Ui& ui, ProcessHandle& model) {
    // The state is read before the events and the sleep, so a model that has already ended
    // still gets one pass.
    bool still_running;
    do {
        still_running = model.running();
        ui.process_events();
        std::this_thread::sleep_for(poll_interval);
    } while (still_running);
    return model.exit_code();
}

}  // namespace

ModelRunOutcome run_model(Session& s, Processes& processes) {
    const ShellSettings& cfg = s.settings;
    ModelRunOutcome outcome;
    {
        BusyPointer busy(s.ui);
        // A failed save has shown its own message; the model then runs on the file on disk.
        update_default_option_file(s);
    }

    const std::string option_file = s.option_file_path();
    const std::string model = cfg.model_dir + "\\" + cfg.model_exe;
    outcome.command_line = model + " " + option_file;
    bool busy = false;
    try {
        s.fs.set_current_dir(cfg.model_dir);
        s.fs.write_file(cfg.model_dir + "\\quarvel.bat",
                        "CD " + cfg.model_dir + "\r\n" + cfg.model_exe + " " +
                            s.sc.option_file_dir + "\\" + s.sc.option_file_name + "\r\n");
        s.ui.busy(true);
        busy = true;
        auto handle = processes.start(s.fs.host_path(model), {s.fs.host_path(option_file)},
                                      s.fs.host_path(cfg.model_dir), WindowStyle::Maximized);
        outcome.exit_code = wait_for_model(s.ui, *handle);
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
