#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

namespace qv::runs {

// Where one scenario of a batch stands.
enum class JobState { not_run, up_to_date, queued, running, succeeded, failed, stopped };

// "not run", "up to date", "queued", "running", "succeeded", "failed", "stopped".
const char* result_text(JobState state);

// What the scheduler is told of a scenario when a batch begins.
struct JobFacts {
    bool up_to_date = false;  // its record shows its results up to date with its inputs
    bool failed = false;      // its latest run failed or was stopped
    bool held = false;        // it runs elsewhere (a Slurm task, another program): never started
};

// Which scenarios a batch runs.
enum class Selection {
    outdated,  // every one that is not up to date
    all,       // every one, up to date or not
    failed,    // only those whose latest run failed or was stopped
};

struct BatchCounts {
    std::size_t total = 0, queued = 0, running = 0, succeeded = 0, failed = 0, stopped = 0;
    std::size_t skipped = 0;  // up to date, so not run
    std::size_t not_run = 0;  // not selected, held, or left queued by a stop

    // Runs that have ended, however they ended.
    std::size_t ended() const { return succeeded + failed + stopped; }
};

// The one scheduler of batch runs, for qvopt's worker threads and the Batch window's qvopt
// processes alike. It runs nothing itself and reads no clock: it is told when a batch begins,
// when each run ends and what time it is, and it says which scenario to start next, at most
// limit() at a time, in the order of the list.
class BatchScheduler {
  public:
    using Clock = std::chrono::steady_clock;

    explicit BatchScheduler(unsigned limit = 1);

    unsigned limit() const { return limit_; }
    // At least 1. A higher limit lets next() start more at once; a lower one ends nothing.
    void set_limit(unsigned limit);

    // Begins a batch over JOBS (the campaign in list order), forgetting the last one: queues
    // what SELECTION takes, never a held one; up-to-date ones count as skipped (unless all are
    // taken). False, changing nothing, while a batch is still active.
    bool begin(const std::vector<JobFacts>& jobs, Selection selection, Clock::time_point now);

    // The next scenario to start now, from then on counted as running; nothing while limit()
    // runs go on, when nothing is queued, or after stop().
    std::optional<std::size_t> next(Clock::time_point now);

    // The run of JOB ended: succeeded, failed or stopped. A run that failed after stop() was
    // asked for counts as stopped. Anything else, or a job that is not running, is ignored.
    void ended(std::size_t job, JobState result, Clock::time_point now);

    // Stop all: nothing more starts and the queued ones are not run. Returns the running
    // ones, which the caller ends and reports through ended().
    std::vector<std::size_t> stop(Clock::time_point now);
    bool stopping() const { return stopping_; }

    // Queued or running runs remain.
    bool active() const;
    std::size_t size() const { return jobs_.size(); }
    JobState state(std::size_t job) const;
    // When a job's run started; nothing before it has.
    std::optional<Clock::time_point> started(std::size_t job) const;
    // How long a run took, once it has ended.
    std::optional<Clock::duration> duration(std::size_t job) const;
    BatchCounts counts() const;
    // Since the batch began (until its last run ended).
    Clock::duration elapsed(Clock::time_point now) const;
    // The mean duration of the runs ended so far, times the runs left, over the runs that can
    // go on at once; nothing before the first run has ended or once none is left.
    std::optional<Clock::duration> time_left() const;

  private:
    struct Job {
        JobState state = JobState::not_run;
        std::optional<Clock::time_point> started;
        std::optional<Clock::duration> duration;
    };

    unsigned limit_;
    std::vector<Job> jobs_;
    std::size_t next_ = 0;  // no queued job before this one
    std::size_t running_ = 0, queued_ = 0;
    bool stopping_ = false;
    Clock::time_point began_{};
    std::optional<Clock::time_point> finished_;
    Clock::duration ended_total_{};
    std::size_t ended_runs_ = 0;
};

}  // namespace qv::runs
