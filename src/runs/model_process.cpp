#include "runs/model_process.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/app_error.h"

namespace qv::runs {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What a result file was before the run, so that a file left by an earlier run is not taken
// for this run's.
struct FileState {
    bool exists = false;
    fs::file_time_type modified{};
    std::uintmax_t size = 0;
};

FileState file_state(const std::string& path) {
    FileState st;
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        return st;
    st.modified = fs::last_write_time(path, ec);
    if (ec)
        return st;
    st.size = fs::file_size(path, ec);
    st.exists = !ec;
    return st;
}

std::string missing_results(const RunFacts& facts) {
    std::vector<std::string> missing;
    for (const auto& r : facts.results)
        if ((r.role == "message" || r.role == "output") && !r.written_by_this_run)
            missing.push_back("its " + r.role + " file " + r.path +
                              (r.exists ? " (the file there is older than the run)" : ""));
    if (missing.empty())
        return {};
    std::string text = "the model ended with exit status 0 but did not write " + missing[0];
    for (std::size_t i = 1; i < missing.size(); ++i)
        text += " nor " + missing[i];
    return text;
}

// While the window handles its events, a message box it shows may hold the run loop for as
// long as the box stays open. This watcher notes meanwhile when the model ends, so the run's end
// time is the model's, not the box's.
class EndWatch {
  public:
    explicit EndWatch(const ModelProcess& model) : model_(model) {
        thread_ = std::thread([this] { watch(); });
    }
    ~EndWatch() { finish(); }
    EndWatch(const EndWatch&) = delete;
    EndWatch& operator=(const EndWatch&) = delete;

    void arm(bool on) {
        std::lock_guard lock(mutex_);
        armed_ = on;
        changed_.notify_one();
    }
    // Stops the watch (before the model is reaped); when it saw the model end.
    std::optional<std::chrono::system_clock::time_point> finish() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
            changed_.notify_one();
        }
        if (thread_.joinable())
            thread_.join();
        return seen_;
    }

  private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!done_) {
            if (armed_ && !seen_ && model_.has_exited())
                seen_ = std::chrono::system_clock::now();
            if (armed_ && !seen_)
                changed_.wait_for(lock, watch_interval);
            else
                changed_.wait(lock, [this] { return done_ || (armed_ && !seen_); });
        }
    }

    static constexpr std::chrono::milliseconds watch_interval{20};
    const ModelProcess& model_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool armed_ = false, done_ = false;
    std::optional<std::chrono::system_clock::time_point> seen_;
    std::thread thread_;
};

}  // namespace

RunResult run_model_process(ModelLauncher& launcher, const RunRequest& request,
                            const RunHooks& hooks, const std::vector<RunObserver*>& observers,
                            RunControl* control) {
    RunResult result;
    RunFacts& facts = result.facts;
    facts.options_file = request.options_file;
    facts.model_path = request.model_path;
    facts.command_line = request.command_line;
    facts.working_dir = request.working_dir;
    facts.results = request.results;
    auto locate = [&](const std::string& path) {
        return request.locate && !path.empty() ? request.locate(path) : path;
    };
    std::vector<FileState> before;
    for (auto& r : facts.results) {
        r.path = locate(r.path);
        before.push_back(file_state(r.path));
    }

    // The last lines, in a ring whose strings keep their storage. A line that lies in the
    // portion being passed on is kept as a view into it and copied only if it is still among
    // the last ones when the portion is done: a flood of output costs a copy per portion rather
    // than per line.
    struct TailLine {
        std::string text;
        std::string_view in_portion;  // not yet copied into text
    };
    std::vector<TailLine> tail(tail_lines_kept);
    std::size_t tail_count = 0;
    std::string chunk;
    auto pass_on = [&](std::string_view line) {
        TailLine& slot = tail[tail_count++ % tail_lines_kept];
        const bool in_chunk = !chunk.empty() && line.data() >= chunk.data() &&
                              line.data() + line.size() <= chunk.data() + chunk.size();
        if (in_chunk) {
            slot.in_portion = line;
        } else {
            slot.text.assign(line);
            slot.in_portion = {};
        }
        if (hooks.on_line)
            hooks.on_line(line);
    };
    auto keep_tail = [&] {
        for (TailLine& slot : tail)
            if (slot.in_portion.data()) {
                slot.text.assign(slot.in_portion);
                slot.in_portion = {};
            }
    };
    LineSplitter splitter(pass_on);

    // The model writes its output straight into the log, which is read back as it grows: the
    // model then never waits for the reader, however much it prints.
    std::string log_path = locate(request.log_path);
    if (!log_path.empty() && !std::ofstream(log_path, std::ios::binary | std::ios::trunc)) {
        pass_on("The model's output could not be written to " + log_path);
        log_path.clear();
    }

    // When the model was first seen to have ended.
    std::optional<std::chrono::system_clock::time_point> model_ended;
    // Whether the output is left in the log (and passed on from there) instead of being read.
    bool passing = false;
    std::vector<std::string> passed_tail;
    LineEnds line_ends;
    auto end_run = [&] {
        facts.ended = model_ended.value_or(std::chrono::system_clock::now());
        if (passing) {
            facts.console_tail = std::move(passed_tail);
        } else {
            const std::size_t kept = std::min(tail_count, tail_lines_kept);
            for (std::size_t i = tail_count - kept; i < tail_count; ++i)
                facts.console_tail.push_back(tail[i % tail_lines_kept].text);
        }
        for (RunObserver* o : observers)
            o->run_ended(facts);
    };

    facts.started = std::chrono::system_clock::now();
    std::unique_ptr<ModelProcess> model;
    try {
        model = launcher.launch(request.model_path, request.args, request.working_dir, log_path);
    } catch (const AppError& e) {
        result.start_error = e.number();
        facts.failure = "the model could not be started (error " + std::to_string(e.number()) +
                        ": " + e.description() + ")";
        end_run();
        return result;
    }
    facts.was_started = true;
    // Without a line hook or a portion hook to feed, only the last lines are needed: the output
    // stays in the log (passed on from there to output_fd), and its last lines are read back
    // once the model has ended.
    if (!log_path.empty() && !hooks.on_line && (!hooks.on_output || hooks.output_fd >= 0))
        passing = model->pass_output_on(hooks.output_fd);
    for (RunObserver* o : observers)
        o->run_started(facts);

    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> limit_at;
    if (request.time_limit)
        limit_at = start + *request.time_limit;
    // Set once the model's group was asked to end; SIGKILL follows at this time.
    std::optional<Clock::time_point> kill_at;

    // Without a line hook only the last lines are kept, so only the portion's last lines are
    // cut: from the line end before them, where a line begins.
    auto lines_needed = [&](std::string_view portion) {
        if (hooks.on_line)
            return portion;
        std::size_t end = portion.size();
        for (std::size_t found = 0; found <= tail_lines_kept; ++found) {
            const void* at = end ? ::memrchr(portion.data(), '\n', end) : nullptr;
            if (!at)
                return portion;
            end = static_cast<std::size_t>(static_cast<const char*>(at) - portion.data());
        }
        splitter.restart();
        return portion.substr(end + 1);
    };
    auto read_back = [&](std::uint64_t offset, char* data, std::size_t size) {
        return model->read_output(offset, data, size);
    };
    auto take_output = [&] {
        if (passing)
            line_ends.grew(model->output_taken(), read_back);
        if (chunk.empty())
            return;
        result.output_ends_line = chunk.back() == '\n';
        if (hooks.on_output)
            hooks.on_output(chunk);
        splitter.feed(lines_needed(chunk));
        keep_tail();
        chunk.clear();
        if (hooks.after_output)
            hooks.after_output();
    };
    auto begin_stop = [&](StopReason why) {
        if (kill_at)
            return;
        facts.stopped = why;
        model->terminate_group();
        kill_at = Clock::now() + stop_grace;
    };
    auto check_stop = [&] {
        if (control && control->stop_requested())
            begin_stop(StopReason::user);
        else if (limit_at && Clock::now() >= *limit_at)
            begin_stop(StopReason::time_limit);
        if (kill_at && Clock::now() >= *kill_at)
            model->kill_group();
    };

    // The window's pace: read the model's state, let the window handle its events, wait one
    // poll interval (passing output on meanwhile), until the state read showed the model ended.
    // Without a poll hook the run ends as soon as the model does.
    const bool paced = static_cast<bool>(hooks.on_poll);
    std::optional<EndWatch> end_watch;
    if (paced)
        end_watch.emplace(*model);
    auto note_end = [&] {
        if (!model_ended)
            model_ended = std::chrono::system_clock::now();
    };
    bool ended = false;
    do {
        ended = model->wait(std::chrono::milliseconds(0), -1, chunk);
        if (ended)
            note_end();
        take_output();
        if (paced) {
            end_watch->arm(!model_ended);
            hooks.on_poll();
            end_watch->arm(false);
        }
        check_stop();
        const Clock::time_point next_poll = Clock::now() + poll_interval;
        for (;;) {
            Clock::time_point until = next_poll;
            if (kill_at)
                until = std::min(until, *kill_at);
            if (limit_at && !kill_at)
                until = std::min(until, *limit_at);
            const Clock::time_point now = Clock::now();
            if (now >= until)
                break;
            // Once a stop is under way the wake-up has done its work.
            const int wake = control && !kill_at ? control->wake_fd : -1;
            const bool gone =
                model->wait(std::chrono::ceil<std::chrono::milliseconds>(until - now), wake, chunk);
            take_output();
            if (gone)
                note_end();
            if (gone && !paced) {
                ended = true;
                break;
            }
            if (gone) {
                std::this_thread::sleep_until(until);
                break;
            }
            if (control && control->stop_requested() && !kill_at)
                break;
        }
        check_stop();
    } while (!ended);

    if (end_watch)
        if (const auto seen = end_watch->finish(); seen && (!model_ended || *seen < *model_ended))
            model_ended = seen;
    // Whatever a stopped model started goes with it.
    if (kill_at)
        model->kill_group();
    const ModelProcess::Exit exit = model->reap();
    facts.exit_status = exit.status;
    facts.signal = exit.signal;
    // Nothing the model started outlives its run, however it ended.
    facts.left_running = model->end_descendants();
    splitter.finish();
    if (passing) {
        line_ends.grew(model->output_taken(), read_back);
        passed_tail = last_lines(line_ends, read_back);
        const std::uint64_t taken = line_ends.total();
        result.output_ends_line =
            taken == 0 || (!line_ends.last().empty() && line_ends.last().back() == taken - 1);
    }

    for (std::size_t i = 0; i < facts.results.size(); ++i) {
        facts.results[i].path = locate(request.results[i].path);
        const FileState after = file_state(facts.results[i].path);
        facts.results[i].exists = after.exists;
        facts.results[i].written_by_this_run =
            after.exists && (!before[i].exists || after.modified != before[i].modified ||
                             after.size != before[i].size);
    }
    // The model may have written its output file in another letter case than its name had;
    // the log follows it.
    for (std::size_t i = 0; i < facts.results.size(); ++i) {
        const ResultFile& r = facts.results[i];
        if (r.role == "output" && r.exists && !log_path.empty() &&
            request.log_path == request.results[i].path + ".log" && r.path + ".log" != log_path) {
            std::error_code ec;
            fs::rename(log_path, r.path + ".log", ec);
        }
    }
    if (facts.stopped == StopReason::time_limit)
        facts.failure = "the model ran past the time limit of " +
                        std::to_string(request.time_limit->count()) + " s and was stopped";
    else if (facts.stopped == StopReason::none && facts.exit_status == 0)
        facts.failure = missing_results(facts);
    end_run();
    return result;
}

}  // namespace qv::runs
