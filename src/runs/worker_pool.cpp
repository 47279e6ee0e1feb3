#include "runs/worker_pool.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace qv::runs {

namespace {

using Clock = std::chrono::steady_clock;

JobResult result_of(const RunFacts& facts) {
    if (facts.stopped == "user")
        return JobResult::stopped;
    return facts.succeeded() ? JobResult::succeeded : JobResult::failed;
}

}  // namespace

const char* result_text(JobResult r) {
    switch (r) {
        case JobResult::succeeded:
            return "succeeded";
        case JobResult::failed:
            return "failed";
        case JobResult::up_to_date:
            return "up to date";
        case JobResult::stopped:
            return "stopped";
        case JobResult::not_run:
            break;
    }
    return "not run";
}

PoolResult run_pool(const std::vector<BatchJob>& jobs, const BatchRunner& runner,
                    const PoolOptions& options, const PoolEvents& events) {
    PoolResult result;
    result.outcomes.resize(jobs.size());
    const auto started = Clock::now();

    PoolProgress progress;
    progress.total = jobs.size();
    std::vector<std::size_t> to_run;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!options.force && runner.up_to_date && runner.up_to_date(jobs[i])) {
            result.outcomes[i].result = JobResult::up_to_date;
            ++progress.skipped;
            if (events.finished)
                events.finished(i, result.outcomes[i]);
        } else {
            to_run.push_back(i);
        }
    }

    std::mutex m;
    std::condition_variable cv;
    std::deque<std::size_t> finished;  // indices whose outcome is ready to report
    std::size_t next = 0;              // next position in to_run
    std::size_t running = 0;
    std::atomic<bool> stop{false};

    auto worker = [&] {
        for (;;) {
            std::size_t index;
            {
                std::lock_guard lock(m);
                if (stop.load() || next == to_run.size())
                    return;
                index = to_run[next++];
                ++running;
            }
            const auto t0 = Clock::now();
            JobOutcome outcome;
            try {
                outcome.facts = runner.run(jobs[index], stop);
                outcome.result = result_of(outcome.facts);
            } catch (const std::exception& e) {
                outcome.facts.options_file = jobs[index].entry.path;
                outcome.facts.failure = e.what();
                outcome.result = JobResult::failed;
            }
            outcome.duration = Clock::now() - t0;
            {
                std::lock_guard lock(m);
                result.outcomes[index] = std::move(outcome);
                finished.push_back(index);
                --running;
            }
            cv.notify_one();
        }
    };

    const unsigned n =
        std::max(1u, std::min<unsigned>(options.jobs, static_cast<unsigned>(to_run.size())));
    std::vector<std::thread> threads;
    if (!to_run.empty())
        for (unsigned i = 0; i < n; ++i)
            threads.emplace_back(worker);

    double run_seconds = 0;
    std::size_t runs_ended = 0;
    std::unique_lock lock(m);
    for (;;) {
        cv.wait_for(lock, options.tick, [&] { return !finished.empty(); });
        while (!finished.empty()) {
            const std::size_t index = finished.front();
            finished.pop_front();
            const JobOutcome& o = result.outcomes[index];
            ++progress.done;
            ++runs_ended;
            run_seconds += o.duration.count();
            if (o.result == JobResult::failed)
                ++progress.failed;
            lock.unlock();
            if (events.finished)
                events.finished(index, o);
            lock.lock();
        }
        if (!stop.load() && options.stop_signal) {
            lock.unlock();
            const int signal = options.stop_signal();
            lock.lock();
            if (signal != 0) {
                result.signal = signal;
                stop.store(true);
            }
        }
        const bool all_ended = running == 0 && (stop.load() || next == to_run.size());
        progress.running = running;
        progress.elapsed = Clock::now() - started;
        progress.left.reset();
        if (runs_ended > 0) {
            const std::size_t remaining = to_run.size() - runs_ended;
            const double parallel = std::max<std::size_t>(1, std::min<std::size_t>(n, remaining));
            progress.left =
                std::chrono::duration<double>(run_seconds / runs_ended * remaining / parallel);
        }
        lock.unlock();
        if (events.progress)
            events.progress(progress);
        lock.lock();
        if (all_ended && finished.empty())
            break;
    }
    lock.unlock();
    for (auto& t : threads)
        t.join();
    return result;
}

int batch_exit_status(const PoolResult& result) {
    if (result.signal != 0)
        return 128 + result.signal;
    for (const JobOutcome& o : result.outcomes)
        if (o.result == JobResult::failed || o.result == JobResult::not_run ||
            o.result == JobResult::stopped)
            return 6;
    return 0;
}

}  // namespace qv::runs
