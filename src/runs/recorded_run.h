#pragma once

#include <deque>
#include <memory>
#include <string>

#include "runs/model_process.h"
#include "runs/run_record.h"

namespace qv::runs {

// The run record for a run path that drives the model itself: it gathers the facts of the run
// as they come and hands them to a RunRecorder.
class RecordedRun {
  public:
    RecordedRun(Session& s, const Hasher& hasher, std::string program_name);
    ~RecordedRun();

    // The model has been started (the scenario is saved by then): the inputs are hashed while
    // it runs.
    void started(const std::string& command_line, const std::string& working_dir);
    // A line of the model's output, for the record's console tail.
    void output(const std::string& line);
    // The run is over: writes the record. Returns why it could not be written, or "".
    // `failure` is set when the model could not be started.
    std::string ended(std::optional<int> exit_status, StopReason stopped,
                      const std::string& failure);

  private:
    Session& s_;
    const Hasher& hasher_;
    std::string program_name_;
    RunFacts facts_;
    std::deque<std::string> tail_;
    std::unique_ptr<RunRecorder> recorder_;
};

// A record keeps as many of the model's last lines as the run function passes on.
inline constexpr std::size_t console_tail_lines = tail_lines_kept;

}  // namespace qv::runs
