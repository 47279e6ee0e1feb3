#include "runs/batch_scheduler.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <condition_variable>
#include <mutex>

#include "runs/worker_pool.h"

namespace qv::runs {
namespace {

using namespace std::chrono_literals;
using Clock = BatchScheduler::Clock;

// A batch in letters. Jobs: n not up to date, u up to date, f failed last time, h run elsewhere.
// Outcomes of the jobs that run: S succeeds, F fails, X throws (a failure too). States at the
// end: . not run, u up to date, S succeeded, F failed, T stopped.
struct Case {
    const char* name;
    const char* jobs;
    Selection selection;
    unsigned limit;
    const char* outcomes;
    int stop_after;  // the batch is stopped once this many runs have ended; -1: never
    const char* want;
    std::size_t most_at_once;
    bool pool = true;  // qvopt batch run can express it (no held jobs, no rerun of the failed)
};

const Case cases[] = {
    {"TwoAtATimeInListOrder", "nnnnnn", Selection::outdated, 2, "SSSSSS", -1, "SSSSSS", 2},
    {"OneAtATime", "nnn", Selection::outdated, 1, "SSS", -1, "SSS", 1},
    {"ALimitAboveTheRunsLeft", "nnnnn", Selection::outdated, 3, "SSSSS", -1, "SSSSS", 3},
    {"AFailureNeverStopsTheOthers", "nnnnn", Selection::outdated, 2, "SFSXS", -1, "SFSFS", 2},
    {"UpToDateOnesAreSkipped", "unu", Selection::outdated, 2, ".S.", -1, "uSu", 1},
    {"RunAllTakesTheUpToDateOnes", "unu", Selection::all, 2, "SSS", -1, "SSS", 2},
    {"RerunFailedTakesOnlyTheFailed", "nfnf", Selection::failed, 2, ".S.F", -1, ".S.F", 2, false},
    {"OnesRunElsewhereNeverStart", "nhn", Selection::all, 2, "S.S", -1, "S.S", 2, false},
    {"StopEndsTheRunningAndKeepsTheQueued", "nnnn", Selection::outdated, 2, "SSSS", 1, "ST..", 2},
    {"StopBeforeAnyEnded", "nnn", Selection::outdated, 1, "SSS", 0, "T..", 1},
    {"AnEmptyCampaign", "", Selection::outdated, 2, "", -1, "", 0},
};

std::vector<JobFacts> facts_of(const char* jobs) {
    std::vector<JobFacts> out;
    for (const char* c = jobs; *c; ++c)
        out.push_back({*c == 'u', *c == 'f', *c == 'h'});
    return out;
}

char letter(JobState s) {
    switch (s) {
        case JobState::up_to_date:
            return 'u';
        case JobState::succeeded:
            return 'S';
        case JobState::failed:
            return 'F';
        case JobState::stopped:
            return 'T';
        default:
            return '.';
    }
}

struct Ran {
    std::string states;
    std::size_t most_at_once = 0;
};

// The Batch window's way: start what next() says, hear of each end later. Runs end in the order
// they started, each 10 s after the one before; those started after the stop are ended by it
// and reported as failed (a qvopt that was terminated), which counts as stopped.
Ran as_the_window_drives_it(const Case& c) {
    BatchScheduler s(c.limit);
    Clock::time_point now{};
    EXPECT_TRUE(s.begin(facts_of(c.jobs), c.selection, now));
    std::vector<std::size_t> running;
    Ran ran;
    int ended = 0;
    auto stop_when_due = [&] {
        if (c.stop_after != ended || s.stopping())
            return;
        for (std::size_t job : s.stop(now)) {
            s.ended(job, JobState::failed, now);
            std::erase(running, job);
        }
    };
    for (;;) {
        while (auto job = s.next(now))
            running.push_back(*job);
        ran.most_at_once = std::max(ran.most_at_once, running.size());
        stop_when_due();
        if (running.empty())
            break;
        now += 10s;
        const std::size_t job = running.front();
        running.erase(running.begin());
        s.ended(job, c.outcomes[job] == 'S' ? JobState::succeeded : JobState::failed, now);
        ++ended;
        stop_when_due();
    }
    EXPECT_FALSE(s.active());
    for (std::size_t i = 0; i < s.size(); ++i)
        ran.states += letter(s.state(i));
    return ran;
}

// qvopt batch run's way: worker threads, the pool polling its stop signal. Every run waits until
// as many run at once as the limit lets, so that the most at once is seen; a run of a job past
// the first STOP_AFTER waits for the stop (by its place in the list: threads start in any order).
Ran as_qvopt_drives_it(const Case& c) {
    std::vector<BatchJob> jobs;
    for (const char* p = c.jobs; *p; ++p)
        jobs.push_back({{static_cast<int>(jobs.size()) + 1, std::string(1, *p), "/w/x"}, {}});
    std::size_t to_start = 0;
    for (const char* w = c.want; *w; ++w)
        to_start += *w == 'S' || *w == 'F' || *w == 'T';
    std::mutex m;
    std::condition_variable cv;
    // The pool's stop is a flag it sets, not a notice: waits look at it every millisecond.
    auto wait = [&](std::unique_lock<std::mutex>& lock, auto done) {
        const auto until = Clock::now() + 10s;
        while (!done() && Clock::now() < until)
            cv.wait_for(lock, 1ms);
    };
    std::size_t running = 0, started = 0;
    int ended = 0;
    Ran ran;
    BatchRunner runner;
    runner.up_to_date = [](const BatchJob& job) { return job.entry.written == "u"; };
    runner.run = [&](const BatchJob& job, const std::atomic<bool>& stop) {
        const std::size_t index = static_cast<std::size_t>(job.entry.line - 1);
        std::unique_lock lock(m);
        ++running;
        ++started;
        ran.most_at_once = std::max(ran.most_at_once, running);
        cv.notify_all();
        wait(lock, [&] { return running >= c.limit || started == to_start || stop.load(); });
        RunFacts f;
        f.was_started = true;
        if (c.stop_after >= 0 && index >= static_cast<std::size_t>(c.stop_after)) {
            wait(lock, [&] { return stop.load(); });
            f.signal = SIGTERM;
            f.stopped = StopReason::user;
        } else if (c.outcomes[index] == 'X') {
            --running;
            ++ended;
            throw std::runtime_error("cannot be read");
        } else {
            f.exit_status = c.outcomes[index] == 'S' ? 0 : 3;
            f.results = {{"message", "", true, true}, {"output", "", true, true}};
        }
        --running;
        ++ended;
        return f;
    };
    PoolOptions options;
    options.jobs = c.limit;
    options.force = c.selection == Selection::all;
    options.tick = 1ms;
    options.stop_signal = [&] {
        std::lock_guard lock(m);
        return c.stop_after >= 0 && ended >= c.stop_after ? SIGINT : 0;
    };
    const PoolResult r = run_pool(jobs, runner, options);
    for (const JobOutcome& o : r.outcomes)
        ran.states += letter(o.result);
    EXPECT_EQ(r.signal, c.stop_after >= 0 ? SIGINT : 0);
    return ran;
}

class BothFaces : public ::testing::TestWithParam<Case> {};

TEST_P(BothFaces, StartTheSameRunsAndEndInTheSameStates) {
    const Case& c = GetParam();
    const Ran window = as_the_window_drives_it(c);
    EXPECT_EQ(window.states, c.want);
    EXPECT_EQ(window.most_at_once, c.most_at_once);
    if (!c.pool)
        return;
    const Ran pool = as_qvopt_drives_it(c);
    EXPECT_EQ(pool.states, c.want);
    EXPECT_EQ(pool.most_at_once, c.most_at_once);
}

INSTANTIATE_TEST_SUITE_P(Scheduler, BothFaces, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& c) {
                             return std::string(c.param.name);
                         });

TEST(BatchScheduler, TimeLeftDurationsAndCountsFollowTheClock) {
    BatchScheduler s(2);
    const Clock::time_point t0{};
    ASSERT_TRUE(s.begin(facts_of("nnnnu"), Selection::outdated, t0));
    EXPECT_EQ(s.next(t0), 0u);
    EXPECT_EQ(s.next(t0), 1u);
    EXPECT_EQ(s.next(t0), std::nullopt);  // two at a time
    EXPECT_EQ(s.time_left(), std::nullopt);
    EXPECT_FALSE(s.begin(facts_of("n"), Selection::all, t0));  // one batch at a time

    s.ended(0, JobState::succeeded, t0 + 30s);
    EXPECT_EQ(s.duration(0), 30s);
    // Three left (one running, two queued), two at a time, 30 s each.
    EXPECT_EQ(s.time_left(), 45s);
    EXPECT_EQ(s.next(t0 + 30s), 2u);
    s.ended(1, JobState::failed, t0 + 50s);
    // Mean 40 s, two left, two at a time.
    EXPECT_EQ(s.time_left(), 40s);
    const BatchCounts c = s.counts();
    EXPECT_EQ(c.succeeded, 1u);
    EXPECT_EQ(c.failed, 1u);
    EXPECT_EQ(c.running, 1u);
    EXPECT_EQ(c.queued, 1u);
    EXPECT_EQ(c.skipped, 1u);

    s.set_limit(1);
    EXPECT_EQ(s.next(t0 + 50s), std::nullopt);  // a lower limit waits for a run to end
    s.ended(2, JobState::succeeded, t0 + 60s);
    EXPECT_EQ(s.next(t0 + 60s), 3u);
    s.ended(3, JobState::succeeded, t0 + 90s);
    EXPECT_FALSE(s.active());
    EXPECT_EQ(s.time_left(), std::nullopt);
    EXPECT_EQ(s.elapsed(t0 + 500s), 90s);
    // A report about a job that is not running changes nothing.
    s.ended(3, JobState::failed, t0 + 99s);
    EXPECT_EQ(s.state(3), JobState::succeeded);
}

}  // namespace
}  // namespace qv::runs
