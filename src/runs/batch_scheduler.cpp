#include "runs/batch_scheduler.h"

#include <algorithm>

namespace qv::runs {

const char* result_text(JobState state) {
    switch (state) {
        case JobState::up_to_date:
            return "up to date";
        case JobState::queued:
            return "queued";
        case JobState::running:
            return "running";
        case JobState::succeeded:
            return "succeeded";
        case JobState::failed:
            return "failed";
        case JobState::stopped:
            return "stopped";
        case JobState::not_run:
            break;
    }
    return "not run";
}

BatchScheduler::BatchScheduler(unsigned limit) : limit_(std::max(1u, limit)) {}

void BatchScheduler::set_limit(unsigned limit) {
    limit_ = std::max(1u, limit);
}

bool BatchScheduler::begin(const std::vector<JobFacts>& jobs, Selection selection,
                           Clock::time_point now) {
    if (active())
        return false;
    jobs_.assign(jobs.size(), Job{});
    next_ = running_ = queued_ = 0;
    stopping_ = false;
    began_ = now;
    finished_.reset();
    ended_total_ = {};
    ended_runs_ = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const JobFacts& f = jobs[i];
        JobState& st = jobs_[i].state;
        if (f.held)
            st = JobState::not_run;
        else if (selection == Selection::failed)
            st = f.failed ? JobState::queued : JobState::not_run;
        else if (selection == Selection::outdated && f.up_to_date)
            st = JobState::up_to_date;
        else
            st = JobState::queued;
        if (st == JobState::queued)
            ++queued_;
    }
    if (!active())
        finished_ = now;
    return true;
}

std::optional<std::size_t> BatchScheduler::next(Clock::time_point now) {
    if (stopping_ || running_ >= limit_ || queued_ == 0)
        return std::nullopt;
    while (jobs_[next_].state != JobState::queued)
        ++next_;
    Job& job = jobs_[next_];
    job.state = JobState::running;
    job.started = now;
    --queued_;
    ++running_;
    return next_++;
}

void BatchScheduler::ended(std::size_t job, JobState result, Clock::time_point now) {
    if (job >= jobs_.size() || jobs_[job].state != JobState::running)
        return;
    if (result != JobState::succeeded && result != JobState::failed && result != JobState::stopped)
        return;
    if (stopping_ && result == JobState::failed)
        result = JobState::stopped;
    Job& j = jobs_[job];
    j.state = result;
    j.duration = now - *j.started;
    ended_total_ += *j.duration;
    ++ended_runs_;
    --running_;
    if (!active())
        finished_ = now;
}

std::vector<std::size_t> BatchScheduler::stop(Clock::time_point now) {
    std::vector<std::size_t> running;
    if (!active())
        return running;
    stopping_ = true;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        if (jobs_[i].state == JobState::queued)
            jobs_[i].state = JobState::not_run;
        else if (jobs_[i].state == JobState::running)
            running.push_back(i);
    }
    queued_ = 0;
    if (!active())
        finished_ = now;
    return running;
}

bool BatchScheduler::active() const {
    return running_ + queued_ > 0;
}

JobState BatchScheduler::state(std::size_t job) const {
    return job < jobs_.size() ? jobs_[job].state : JobState::not_run;
}

std::optional<BatchScheduler::Clock::time_point> BatchScheduler::started(std::size_t job) const {
    return job < jobs_.size() ? jobs_[job].started : std::nullopt;
}

std::optional<BatchScheduler::Clock::duration> BatchScheduler::duration(std::size_t job) const {
    return job < jobs_.size() ? jobs_[job].duration : std::nullopt;
}

BatchCounts BatchScheduler::counts() const {
    BatchCounts c;
    c.total = jobs_.size();
    for (const Job& j : jobs_) {
        switch (j.state) {
            case JobState::queued:
                ++c.queued;
                break;
            case JobState::running:
                ++c.running;
                break;
            case JobState::succeeded:
                ++c.succeeded;
                break;
            case JobState::failed:
                ++c.failed;
                break;
            case JobState::stopped:
                ++c.stopped;
                break;
            case JobState::up_to_date:
                ++c.skipped;
                break;
            case JobState::not_run:
                ++c.not_run;
                break;
        }
    }
    return c;
}

BatchScheduler::Clock::duration BatchScheduler::elapsed(Clock::time_point now) const {
    return finished_.value_or(now) - began_;
}

std::optional<BatchScheduler::Clock::duration> BatchScheduler::time_left() const {
    const std::size_t left = running_ + queued_;
    if (ended_runs_ == 0 || left == 0)
        return std::nullopt;
    const auto at_once = static_cast<Clock::rep>(std::min<std::size_t>(limit_, left));
    const Clock::duration mean = ended_total_ / static_cast<Clock::rep>(ended_runs_);
    return mean * static_cast<Clock::rep>(left) / at_once;
}

}  // namespace qv::runs
