#include "runs/worker_pool.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace qv::runs {

namespace {

using Clock = BatchScheduler::Clock;

std::chrono::milliseconds in_ms(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d);
}

}  // namespace

JobState result_of(const RunFacts& facts) {
    if (facts.stopped == StopReason::user)
        return JobState::stopped;
    return facts.succeeded() ? JobState::succeeded : JobState::failed;
}

PoolResult run_pool(const std::vector<BatchJob>& jobs, const BatchRunner& runner,
                    const PoolOptions& options, const PoolEvents& events) {
    PoolResult result;
    result.outcomes.resize(jobs.size());
    BatchScheduler scheduler(options.jobs);
    std::vector<JobFacts> facts(jobs.size());
    if (!options.force && runner.up_to_date)
        for (std::size_t i = 0; i < jobs.size(); ++i)
            facts[i].up_to_date = runner.up_to_date(jobs[i]);
    scheduler.begin(facts, options.force ? Selection::all : Selection::outdated, Clock::now());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (scheduler.state(i) == JobState::up_to_date) {
            result.outcomes[i].result = JobState::up_to_date;
            if (events.finished)
                events.finished(i, result.outcomes[i]);
        }
    }

    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<std::size_t, JobOutcome>> ended;  // guarded by m
    std::atomic<bool> stop{false};
    std::map<std::size_t, std::thread> threads;

    auto start = [&](std::size_t index) {
        threads.emplace(index, std::thread([&, index] {
                            JobOutcome outcome;
                            try {
                                outcome.facts = runner.run(jobs[index], stop);
                                outcome.result = result_of(outcome.facts);
                            } catch (const std::exception& e) {
                                outcome.facts.options_file = jobs[index].entry.path;
                                outcome.facts.failure = e.what();
                                outcome.result = JobState::failed;
                            }
                            {
                                std::lock_guard lock(m);
                                ended.emplace_back(index, std::move(outcome));
                            }
                            cv.notify_one();
                        }));
    };

    std::vector<std::pair<std::size_t, JobOutcome>> arrived;
    while (scheduler.active()) {
        while (auto index = scheduler.next(Clock::now()))
            start(*index);
        {
            std::unique_lock lock(m);
            cv.wait_for(lock, options.tick, [&] { return !ended.empty(); });
            arrived.swap(ended);
        }
        for (auto& [index, outcome] : arrived) {
            auto thread = threads.find(index);
            thread->second.join();
            threads.erase(thread);
            scheduler.ended(index, outcome.result, Clock::now());
            outcome.result = scheduler.state(index);
            outcome.duration = in_ms(scheduler.duration(index).value_or(Clock::duration{}));
            result.outcomes[index] = std::move(outcome);
            if (events.finished)
                events.finished(index, result.outcomes[index]);
        }
        arrived.clear();
        if (!stop.load() && options.stop_signal) {
            if (const int signal = options.stop_signal(); signal != 0) {
                result.signal = signal;
                stop.store(true);
                scheduler.stop(Clock::now());
            }
        }
        if (events.progress) {
            const BatchCounts c = scheduler.counts();
            PoolProgress progress;
            progress.total = c.total;
            progress.done = c.ended();
            progress.running = c.running;
            progress.failed = c.failed;
            progress.skipped = c.skipped;
            progress.elapsed = in_ms(scheduler.elapsed(Clock::now()));
            if (auto left = scheduler.time_left())
                progress.left = in_ms(*left);
            events.progress(progress);
        }
    }
    return result;
}

bool all_succeeded(const PoolResult& result) {
    for (const JobOutcome& o : result.outcomes)
        if (o.result != JobState::succeeded && o.result != JobState::up_to_date)
            return false;
    return true;
}

}  // namespace qv::runs
