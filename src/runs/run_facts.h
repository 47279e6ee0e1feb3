#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runs/run_end.h"

namespace qv::runs {

// A file the model is expected to write, as found when the run ended.
struct ResultFile {
    std::string role;  // "message", "output", "by model year"
    std::string path;  // host path
    bool exists = false;
    bool written_by_this_run = false;  // modified at or after the run's start
};

// What one model run was and how it ended: what the run function reports, what the windows and
// qvopt show, and what the run record keeps.
struct RunFacts {
    std::string options_file;  // host path of the options file the model was given
    std::string model_path;    // host path of the model executable
    std::string command_line;  // as shown to the user
    std::string working_dir;   // host path

    std::chrono::system_clock::time_point started{};
    std::chrono::system_clock::time_point ended{};

    bool was_started = false;        // the model process was started
    std::optional<int> exit_status;  // set when the model exited
    std::optional<int> signal;       // set when a signal ended it
    StopReason stopped = StopReason::none;
    std::string failure;  // why the run failed beyond its exit, "" when it did not
    std::string note;     // what else the user must know of the run, such as a refused save
    std::size_t left_running = 0;           // processes the model started that could not be ended
    std::vector<std::string> console_tail;  // the last lines of the model's output
    std::vector<ResultFile> results;

    // The model exited with status 0, was not stopped, and wrote its message and output files.
    bool succeeded() const;
    RunEnd end() const { return {was_started, exit_status, signal, stopped, failure}; }
};

inline std::string exit_description(const RunFacts& facts) {
    return exit_description(facts.end());
}

// Hooks that follow a run, such as the run record. The run function calls them on the thread
// that drives the run.
class RunObserver {
  public:
    virtual ~RunObserver() = default;
    // The model process has started (facts.started, command line and paths are set).
    virtual void run_started(const RunFacts&) {}
    // The model has ended, or failed to start; the facts are complete.
    virtual void run_ended(const RunFacts&) {}
};

}  // namespace qv::runs
