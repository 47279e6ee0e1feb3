#include "runs/recorded_run.h"

namespace qv::runs {

RecordedRun::RecordedRun(Session& s, const Hasher& hasher, std::string program_name)
    : s_(s), hasher_(hasher), program_name_(std::move(program_name)) {}

RecordedRun::~RecordedRun() = default;

void RecordedRun::started(const std::string& command_line, const std::string& working_dir) {
    facts_.command_line = command_line;
    facts_.working_dir = working_dir;
    facts_.started = std::chrono::system_clock::now();
    facts_.was_started = true;
    recorder_ = std::make_unique<RunRecorder>(s_.fs, hasher_, plan_record(s_, program_name_));
    recorder_->run_started(facts_);
}

void RecordedRun::output(const std::string& line) {
    tail_.push_back(line);
    if (tail_.size() > console_tail_lines)
        tail_.pop_front();
}

std::string RecordedRun::ended(std::optional<int> exit_status, StopReason stopped,
                               const std::string& failure) {
    facts_.ended = std::chrono::system_clock::now();
    if (!recorder_) {
        // Never started: the record says so, with the files the run would have read.
        facts_.started = facts_.ended;
        facts_.was_started = false;
        recorder_ = std::make_unique<RunRecorder>(s_.fs, hasher_, plan_record(s_, program_name_));
    }
    facts_.exit_status = facts_.was_started ? exit_status : std::nullopt;
    facts_.stopped = stopped;
    facts_.failure = failure;
    facts_.console_tail.assign(tail_.begin(), tail_.end());
    recorder_->run_ended(facts_);
    return recorder_->write_error();
}

}  // namespace qv::runs
