#pragma once

#include <string>
#include <vector>

#include "scenario/session.h"

namespace qv {

struct ModelRunOutcome {
    bool saved = false;    // the scenario was saved first; the model is not started otherwise
    bool started = false;  // the model was started and has ended
    int exit_code = 0;     // the model's, once it has ended
    int error_number = 0;  // the error of the error branch, 0 when it was not taken
    // model_dir\model_exe, a blank, then option_file_dir\option_file_name: the program started
    // and its one argument, in program form. The problem message and log line name it.
    std::string command_line;
};

// Starts the model and waits for its end while the user interface keeps handling events (a poll
// every 100 ms). Throws AppError when the model cannot be started.
class ModelWaiter {
  public:
    virtual ~ModelWaiter() = default;
    // The model's exit code; 128 + the signal's number when a signal ended it.
    virtual int run_and_wait(const std::string& program, const std::vector<std::string>& args,
                             const std::string& working_dir) = 0;
};

// The Model menu's Run: saves the scenario over the current options file (a refused save ends
// the Run there), writes quarvel.bat in model_dir, starts the model with model_dir as its
// current directory and the options file as its argument, and waits for it while the user
// interface keeps handling events (a poll every 100 ms), then refreshes the summary and goes
// back to app_dir.
//
// This host has no launcher, so the model is started directly; the batch file still records the
// two steps it would carry out. A failure after the save takes the run's error branch (message
// and run-log line); the current directory then stays where the failure left it.
ModelRunOutcome run_model(Session& s, ModelWaiter& model);

}  // namespace qv
