#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runs/batch_scheduler.h"
#include "runs/campaign.h"
#include "runs/run_facts.h"

namespace qv::runs {

// One scenario of a campaign to run.
struct BatchJob {
    CampaignEntry entry;
    ScenarioOutputs outputs;
};

// How the pool runs one scenario and asks about its record. Both are set by the caller, so the
// pool works the same over the real model run and over stand-ins.
struct BatchRunner {
    // Runs one scenario to its end as `qvopt run` runs it (its record and its console log
    // written beside its output data file) and tells how it ended. Called on worker threads,
    // several at a time. When STOP becomes true the run ends its model's whole process group and
    // reports StopReason::user.
    std::function<RunFacts(const BatchJob&, const std::atomic<bool>& stop)> run;
    // Whether the scenario's record shows its results up to date with its inputs. Called on the
    // calling thread before anything runs; unset: nothing is up to date.
    std::function<bool(const BatchJob&)> up_to_date;
};

// The state a run's facts stand for: succeeded, failed, or stopped by the user.
JobState result_of(const RunFacts& facts);

struct JobOutcome {
    JobState result = JobState::not_run;
    RunFacts facts;  // empty for runs that did not run
    std::chrono::milliseconds duration{};
};

// The state of the batch, for the status line.
struct PoolProgress {
    std::size_t total = 0;
    std::size_t done = 0;  // runs that ended, failed ones included
    std::size_t running = 0, failed = 0;
    std::size_t skipped = 0;  // up to date
    std::chrono::milliseconds elapsed{};
    // From the mean duration of the runs so far; unset before the first one ends.
    std::optional<std::chrono::milliseconds> left;
};

struct PoolOptions {
    unsigned jobs = 1;   // runs at a time, at least 1
    bool force = false;  // run the up-to-date ones too
    // Polled on the calling thread: a signal number when the batch must stop, else 0.
    std::function<int()> stop_signal;
    std::chrono::milliseconds tick{100};  // how often progress is reported and stop polled
};

// Called on the calling thread.
struct PoolEvents {
    std::function<void(std::size_t index, const JobOutcome&)> finished;
    std::function<void(const PoolProgress&)> progress;
};

struct PoolResult {
    std::vector<JobOutcome> outcomes;  // one per job, in the list's order
    int signal = 0;                    // the signal that stopped the batch, 0 when none
};

// Runs the jobs on worker threads, started as the batch scheduler says (N at a time, in list
// order, up-to-date ones skipped unless forced). A failed run never stops the others; a stop
// signal stops every running run and starts no more (those left are "not run").
PoolResult run_pool(const std::vector<BatchJob>& jobs, const BatchRunner& runner,
                    const PoolOptions& options, const PoolEvents& events = {});

// Whether every job of a batch that was not stopped by a signal succeeded or was up to date.
bool all_succeeded(const PoolResult& result);

}  // namespace qv::runs
