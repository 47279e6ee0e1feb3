#include "runs/worker_pool.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace qv::runs {
namespace {

using namespace std::chrono_literals;

std::vector<BatchJob> jobs_named(std::initializer_list<const char*> names) {
    std::vector<BatchJob> jobs;
    int line = 1;
    for (const char* n : names)
        jobs.push_back({{line++, n, std::string("/w/") + n}, {}});
    return jobs;
}

RunFacts ended_with(const BatchJob& job, int status) {
    RunFacts f;
    f.options_file = job.entry.path;
    f.was_started = true;
    f.exit_status = status;
    f.results = {{"message", "", true, true}, {"output", "", true, true}};
    return f;
}

// Counts the runs in progress and remembers the most seen at once.
struct Overlap {
    std::mutex m;
    int now = 0, most = 0;
    void enter() {
        std::lock_guard l(m);
        most = std::max(most, ++now);
    }
    void leave() {
        std::lock_guard l(m);
        --now;
    }
};

TEST(WorkerPool, RunsNAtATimeAndReportsEveryRunInListOrder) {
    for (unsigned n : {1u, 2u, 3u}) {
        SCOPED_TRACE(n);
        Overlap overlap;
        BatchRunner runner;
        runner.run = [&](const BatchJob& job, const std::atomic<bool>&) {
            overlap.enter();
            std::this_thread::sleep_for(50ms);
            overlap.leave();
            return ended_with(job, 0);
        };
        const auto jobs = jobs_named({"a", "b", "c", "d", "e", "f"});
        std::vector<std::size_t> reported;
        PoolEvents events;
        events.finished = [&](std::size_t i, const JobOutcome&) { reported.push_back(i); };
        PoolOptions options;
        options.jobs = n;
        const PoolResult r = run_pool(jobs, runner, options, events);
        EXPECT_EQ(overlap.most, static_cast<int>(n));
        ASSERT_EQ(r.outcomes.size(), jobs.size());
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            EXPECT_EQ(r.outcomes[i].result, JobResult::succeeded);
            EXPECT_EQ(r.outcomes[i].facts.options_file, jobs[i].entry.path);
        }
        EXPECT_EQ(reported.size(), jobs.size());
        EXPECT_EQ(batch_exit_status(r), 0);
    }
}

TEST(WorkerPool, AFailedRunNeverStopsTheOthers) {
    BatchRunner runner;
    runner.run = [](const BatchJob& job, const std::atomic<bool>&) -> RunFacts {
        if (job.entry.written == "throws")
            throw std::runtime_error("cannot read it");
        return ended_with(job, job.entry.written == "bad" ? 3 : 0);
    };
    PoolOptions options;
    options.jobs = 2;
    const PoolResult r = run_pool(jobs_named({"a", "bad", "b", "throws", "c"}), runner, options);
    const JobResult want[] = {JobResult::succeeded, JobResult::failed, JobResult::succeeded,
                              JobResult::failed, JobResult::succeeded};
    for (std::size_t i = 0; i < std::size(want); ++i)
        EXPECT_EQ(r.outcomes[i].result, want[i]) << i;
    EXPECT_EQ(r.outcomes[3].facts.failure, "cannot read it");
    EXPECT_EQ(batch_exit_status(r), 6);
}

TEST(WorkerPool, UpToDateRunsAreSkippedUnlessForced) {
    for (bool force : {false, true}) {
        SCOPED_TRACE(force);
        std::atomic<int> runs{0};
        BatchRunner runner;
        runner.run = [&](const BatchJob& job, const std::atomic<bool>&) {
            ++runs;
            return ended_with(job, 0);
        };
        runner.up_to_date = [](const BatchJob& job) { return job.entry.written != "new"; };
        PoolOptions options;
        options.jobs = 2;
        options.force = force;
        PoolProgress last;
        PoolEvents events;
        events.progress = [&](const PoolProgress& p) { last = p; };
        const PoolResult r = run_pool(jobs_named({"old1", "new", "old2"}), runner, options, events);
        EXPECT_EQ(runs.load(), force ? 3 : 1);
        EXPECT_EQ(r.outcomes[0].result, force ? JobResult::succeeded : JobResult::up_to_date);
        EXPECT_EQ(r.outcomes[1].result, JobResult::succeeded);
        EXPECT_EQ(last.skipped, force ? 0u : 2u);
        EXPECT_EQ(last.done, force ? 3u : 1u);
        EXPECT_EQ(batch_exit_status(r), 0);
    }
}

TEST(WorkerPool, AStopSignalStopsEveryRunningRunAndStartsNoMore) {
    std::mutex m;
    std::condition_variable cv;
    int started = 0;
    BatchRunner runner;
    runner.run = [&](const BatchJob& job, const std::atomic<bool>& stop) {
        {
            std::lock_guard l(m);
            ++started;
        }
        cv.notify_all();
        while (!stop.load())
            std::this_thread::sleep_for(1ms);
        RunFacts f = ended_with(job, 0);
        f.exit_status.reset();
        f.signal = SIGTERM;
        f.stopped = "user";
        return f;
    };
    PoolOptions options;
    options.jobs = 2;
    options.tick = 5ms;
    options.stop_signal = [&] {
        std::lock_guard l(m);
        return started == 2 ? SIGINT : 0;
    };
    const PoolResult r = run_pool(jobs_named({"a", "b", "c", "d"}), runner, options);
    EXPECT_EQ(started, 2);
    EXPECT_EQ(r.signal, SIGINT);
    EXPECT_EQ(r.outcomes[0].result, JobResult::stopped);
    EXPECT_EQ(r.outcomes[1].result, JobResult::stopped);
    EXPECT_EQ(r.outcomes[2].result, JobResult::not_run);
    EXPECT_EQ(r.outcomes[3].result, JobResult::not_run);
    EXPECT_EQ(batch_exit_status(r), 130);
}

TEST(WorkerPool, EmptyCampaignEndsAtOnce) {
    const PoolResult r = run_pool({}, BatchRunner{}, PoolOptions{});
    EXPECT_TRUE(r.outcomes.empty());
    EXPECT_EQ(batch_exit_status(r), 0);
}

}  // namespace
}  // namespace qv::runs
