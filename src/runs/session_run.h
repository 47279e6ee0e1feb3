#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "runs/model_process.h"
#include "scenario/model_run.h"
#include "scenario/session.h"

namespace qv::runs {

// The message and output files the session's scenario has the model write, in the program's
// form: a relative name is taken against model_dir, where the model runs.
std::vector<ResultFile> scenario_results(const Session& s);

// Where a run's whole output goes: `<output data file>.log`; "" when there is no output file.
std::string output_log_path(const std::vector<ResultFile>& results);

struct SessionRunOptions {
    RunHooks hooks;
    std::vector<RunObserver*> observers;
    RunControl* control = nullptr;
    std::optional<std::chrono::seconds> time_limit;
    // The window's pace: the session's user interface handles its events at every poll.
    bool paced = true;
};

// The Run step's wait (run_model) carried out by run_model_process for a session's scenario.
class SessionModelRun final : public ModelWaiter {
  public:
    SessionModelRun(Session& s, ModelLauncher& launcher, SessionRunOptions options);

    // Throws AppError, naming the system's reason, when the model could not be started.
    int run_and_wait(const std::string& program, const std::vector<std::string>& args,
                     const std::string& working_dir) override;

    // The run's outcome, once run_and_wait was called.
    const std::optional<RunResult>& result() const { return result_; }

  private:
    Session& s_;
    ModelLauncher& launcher_;
    SessionRunOptions options_;
    std::optional<RunResult> result_;
};

}  // namespace qv::runs
