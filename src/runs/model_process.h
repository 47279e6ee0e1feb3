#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/model_launcher.h"
#include "runs/output_lines.h"
#include "runs/run_facts.h"

namespace qv::runs {

// How often the driving thread's poll hook runs while the model runs.
constexpr std::chrono::milliseconds poll_interval{100};
// How long a stopped model's process group gets to end after SIGTERM before SIGKILL.
constexpr std::chrono::seconds stop_grace{2};

// One model run to make.
struct RunRequest {
    std::string model_path;         // host path of the executable
    std::vector<std::string> args;  // its arguments: the options file's host path
    std::string working_dir;        // host path
    std::string options_file;       // host path, for the facts
    std::string command_line;       // as shown to the user
    // The files the model is expected to write (role and host path); the "message" and "output"
    // ones decide whether the run succeeded.
    std::vector<ResultFile> results;
    // Finds a result file on the host from its path in `results`, as it is at the moment (a
    // name may match a file whose letter case differs, which the model may create only during
    // the run); the path is taken as it is when unset.
    std::function<std::string(const std::string&)> locate;
    // Receives the model's whole output; "" for none. By convention `<output data file>.log`
    // (in the form of `results`); that log takes the output file's name as the model wrote it.
    std::string log_path;
    std::optional<std::chrono::seconds> time_limit;
};

// The caller's hand on a running run: asks it to stop, from any thread or a signal handler.
class RunControl {
  public:
    // Ends the model as the Stop button does; the run then reports stopped = StopReason::user.
    void stop() noexcept { stop_requested_.store(true); }
    // The same, from a signal handler (async-signal-safe); also wake `wake_fd` there.
    void stop_on_signal(int signal) noexcept {
        signal_.store(signal);
        stop_requested_.store(true);
    }
    // Also stops when `flag` becomes true (a batch's stop, shared by all its runs); noticed
    // within a poll interval. The flag must outlive the run.
    void follow(const std::atomic<bool>& flag) noexcept { followed_ = &flag; }
    bool stop_requested() const noexcept {
        return stop_requested_.load() || (followed_ && followed_->load());
    }
    // The signal given to stop_on_signal, 0 when none.
    int signal() const noexcept { return signal_.load(); }

    // A descriptor that becomes readable when a stop is requested from elsewhere (a signal
    // handler's self-pipe), so the run need not wait for its next poll; -1 when there is none.
    int wake_fd = -1;

  private:
    std::atomic<bool> stop_requested_{false};
    const std::atomic<bool>* followed_ = nullptr;
    std::atomic<int> signal_{0};
    static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
};

// What the run tells its caller on the driving thread.
struct RunHooks {
    // Each line of output as it arrives, without its line end; a line longer than max_line_bytes
    // comes as several.
    std::function<void(std::string_view line)> on_line;
    // Each portion of output as it was read, before it is cut into lines: the model's bytes as
    // they are, for a caller that passes them on whole.
    std::function<void(std::string_view portion)> on_output;
    // After each portion of output was passed on (a moment to flush).
    std::function<void()> after_output;
    // A descriptor that takes the model's output instead of on_output, where the model writes
    // into the log: its bytes are copied from the log as they come, inside the system, without
    // passing through this program (on_output and after_output are then not called). Where the
    // output comes through a pipe, on_output gets it as usual. What the caller wrote to the
    // descriptor itself must be flushed before the run. -1: none.
    int output_fd = -1;
    // Every poll_interval while the model runs, after its state was read: the window handles
    // its events here and may call RunControl::stop(). With it the run keeps the window's pace
    // (one more interval after the state read that finds the model ended); without it the run
    // ends as soon as the model does.
    std::function<void()> on_poll;
};

// The outcome: the facts, and when the model could not be started, the error number the
// start failed with (0 otherwise).
struct RunResult {
    RunFacts facts;
    int start_error = 0;
    // Whether the model's output ended with a line end (or was empty): where the caller's own
    // text after it may start without one.
    bool output_ends_line = true;
};

// THE model run: every run (the window's Model > Run, qvopt run, batches) goes through here.
// Starts the model, passes its output on as it comes (and writes all of it to the log), polls
// every poll_interval, ends the model's whole process group when stopped or past the time limit
// (SIGTERM, stop_grace, SIGKILL), ends what the model started that is still running once it has
// ended (RunFacts::left_running counts what could not be), and reports the outcome: results
// count only when written
// during this run, and a model that exits 0 without writing its message and output files has
// failed. Observers get run_started once the model runs and run_ended with the complete facts
// (also when it could not be started). Never throws for the model's failures.
RunResult run_model_process(ModelLauncher& launcher, const RunRequest& request,
                            const RunHooks& hooks, const std::vector<RunObserver*>& observers,
                            RunControl* control = nullptr);

}  // namespace qv::runs
