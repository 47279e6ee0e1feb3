#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
    // reports stopped = "user".
    std::function<RunFacts(const BatchJob&, const std::atomic<bool>& stop)> run;
    // Whether the scenario's record shows its results up to date with its inputs. Called on the
    // calling thread before anything runs; unset: nothing is up to date.
    std::function<bool(const BatchJob&)> up_to_date;
};

enum class JobResult { succeeded, failed, up_to_date, stopped, not_run };
// "succeeded", "failed", "up to date", "stopped", "not run".
const char* result_text(JobResult r);

struct JobOutcome {
    JobResult result = JobResult::not_run;
    RunFacts facts;  // empty for runs that did not run
    std::chrono::duration<double> duration{};
};

// The state of the batch, for the status line.
struct PoolProgress {
    std::size_t total = 0;
    std::size_t done = 0;  // runs that ended, failed ones included
    std::size_t running = 0, failed = 0;
    std::size_t skipped = 0;  // up to date
    std::chrono::duration<double> elapsed{};
    // From the mean duration of the runs so far; unset before the first one ends.
    std::optional<std::chrono::duration<double>> left;
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

// Runs the jobs N at a time on worker threads. A failed run never stops the others; a stop
// signal stops every running run and starts no more (those left are "not run").
PoolResult run_pool(const std::vector<BatchJob>& jobs, const BatchRunner& runner,
                    const PoolOptions& options, const PoolEvents& events = {});

// The exit status of a batch: 128 + the signal when stopped, 6 when any run failed, else 0.
int batch_exit_status(const PoolResult& result);

}  // namespace qv::runs
