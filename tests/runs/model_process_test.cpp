#include "runs/model_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include "platform/process/posix_model_launcher.h"
#include "support/spawn.h"
#include "support/temp_dir.h"

namespace qv::runs {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

pid_t read_pid(const fs::path& p) {
    return static_cast<pid_t>(std::stol(test::read_file(p)));
}

// Counts the observer calls, in order.
struct Recorder : RunObserver {
    std::vector<std::string> calls;
    RunFacts ended;
    void run_started(const RunFacts& f) override {
        calls.push_back("started");
        EXPECT_TRUE(f.was_started);
    }
    void run_ended(const RunFacts& f) override {
        calls.push_back("ended");
        ended = f;
    }
};

// A stand-in model: a shell script in a temporary model directory that is to write out.msg and
// out.dat there.
struct ScriptRun : ::testing::Test {
    test::TempDir dir;
    PosixModelLauncher launcher;
    Recorder recorder;
    std::vector<std::string> lines;
    RunHooks hooks;

    ScriptRun() {
        hooks.on_line = [this](std::string_view l) { lines.emplace_back(l); };
    }

    RunRequest request(const std::string& script, mode_t mode = 0755) {
        const std::string path = dir.write("model.sh", "#!/bin/sh\n" + script + "\n");
        fs::permissions(path, static_cast<fs::perms>(mode));
        RunRequest r;
        r.model_path = path;
        r.args = {dir.str() + "/run.opt"};
        r.working_dir = dir.str();
        r.command_line = path + " " + r.args[0];
        r.results = {{"message", dir.str() + "/out.msg"}, {"output", dir.str() + "/out.dat"}};
        r.log_path = dir.str() + "/out.dat.log";
        return r;
    }
    RunResult run(const RunRequest& r, RunControl* control = nullptr) {
        return run_model_process(launcher, r, hooks, {&recorder}, control);
    }
};

TEST_F(ScriptRun, ResultsCountOnlyWhenThisRunWroteThem) {
    const struct {
        const char* script;
        bool old_files;
        bool succeeded;
        const char* failure;
    } rows[] = {
        {"echo m > out.msg; echo o > out.dat", false, true, ""},
        {"echo m > out.msg; echo o > out.dat", true, true, ""},
        {"exit 0", false, false,
         "the model ended with exit status 0 but did not write its message file "},
        {"exit 0", true, false, "(the file there is older than the run)"},
        {"echo o > out.dat", false, false, "did not write its message file"},
        {"echo m > out.msg; echo o > out.dat; exit 3", false, false, ""},
    };
    for (const auto& row : rows) {
        fs::remove(dir.path() / "out.msg");
        fs::remove(dir.path() / "out.dat");
        if (row.old_files) {
            dir.write("out.msg", "old");
            dir.write("out.dat", "old");
            // An earlier run, a while ago.
            for (const char* name : {"out.msg", "out.dat"})
                fs::last_write_time(dir.path() / name,
                                    fs::file_time_type::clock::now() - std::chrono::hours(1));
        }
        recorder = {};
        const RunResult r = run(request(row.script));
        const RunFacts& f = r.facts;
        EXPECT_EQ(f.succeeded(), row.succeeded) << row.script << ": " << f.failure;
        EXPECT_NE(f.failure.find(row.failure), std::string::npos) << f.failure;
        if (std::string(row.failure).empty()) {
            EXPECT_EQ(f.failure, "") << row.script;
        }
        EXPECT_EQ(recorder.calls, (std::vector<std::string>{"started", "ended"}));
        EXPECT_EQ(recorder.ended.failure, f.failure);
    }
}

TEST_F(ScriptRun, OutputComesLineByLineCutAtTheLimitAndWholeInTheLog) {
    // 200,000 short lines, then one line of 1,000,000 bytes without a line end.
    const RunResult r =
        run(request("seq 1 200000; printf 'crlf\\r\\n'; head -c 1000000 /dev/zero | tr '\\0' x"));
    ASSERT_TRUE(r.facts.exit_status == 0) << r.facts.failure;
    ASSERT_GE(lines.size(), 200001u);
    EXPECT_EQ(lines[0], "1");
    EXPECT_EQ(lines[199999], "200000");
    EXPECT_EQ(lines[200000], "crlf");
    std::size_t long_bytes = 0;
    for (std::size_t i = 200001; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), max_line_bytes);
        EXPECT_EQ(lines[i].find_first_not_of('x'), std::string::npos);
        long_bytes += lines[i].size();
    }
    EXPECT_EQ(long_bytes, 1000000u);
    EXPECT_EQ(lines.size(), 200001u + (1000000 + max_line_bytes - 1) / max_line_bytes);
    EXPECT_EQ(r.facts.console_tail,
              std::vector<std::string>(lines.end() - tail_lines_kept, lines.end()));

    const std::string log = dir.read("out.dat.log");
    EXPECT_EQ(log.size(), 1288895u + 6 + 1000000u);  // seq's bytes, "crlf\r\n", the long line
    EXPECT_EQ(log.substr(0, 4), "1\n2\n");
}

TEST_F(ScriptRun, WithOrWithoutALogOrALineHookTheLinesAndTheLastOnesAreTheSame) {
    // Lines of every length around the portions' edges, some ending in CR LF, the last one
    // without a line end.
    const std::string script =
        "i=0; while [ $i -lt 3000 ]; do printf '%0*d\\n' $((i % 700)) $i; "
        "[ $((i % 7)) -eq 0 ] && printf 'cr %d\\r\\n' $i; i=$((i+1)); done; printf 'last'";
    const auto line_hook = hooks.on_line;
    std::vector<std::string> seen[2];
    std::vector<std::string> tails[4];
    // Without a log; with one; with one and no line hook; and passed on to /dev/null.
    for (int way : {0, 1, 2, 3}) {
        lines.clear();
        RunRequest req = request(script);
        if (way == 0)
            req.log_path.clear();
        hooks.on_line = way >= 2 ? nullptr : line_hook;
        const int null_out = way == 3 ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
        hooks.output_fd = null_out;
        const RunResult r = run(req);
        hooks.output_fd = -1;
        if (null_out >= 0)
            ::close(null_out);
        ASSERT_EQ(r.facts.exit_status, 0);
        if (way < 2)
            seen[way] = lines;
        tails[way] = r.facts.console_tail;
    }
    EXPECT_EQ(seen[0], seen[1]);
    ASSERT_EQ(seen[1].size(), 3000u + 429u + 1u);
    EXPECT_EQ(seen[1].back(), "last");
    EXPECT_EQ(seen[1][1], "cr 0");
    EXPECT_EQ(tails[1], std::vector<std::string>(seen[1].end() - tail_lines_kept, seen[1].end()));
    EXPECT_EQ(tails[0], tails[1]);
    EXPECT_EQ(tails[2], tails[1]);
    EXPECT_EQ(tails[3], tails[1]);
}

// Runs keep their output watches for the runs after them: each run still follows only its own
// output, and the program's descriptors do not grow with the runs.
TEST_F(ScriptRun, RunAfterRunEachFollowsItsOwnOutputAndDescriptorsDoNotPileUp) {
    const auto open_descriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    std::ptrdiff_t after_first = 0;
    for (int i = 0; i < 40; ++i) {
        lines.clear();
        const RunResult r = run(request("echo run " + std::to_string(i)));
        ASSERT_EQ(r.facts.exit_status, 0);
        EXPECT_EQ(lines, std::vector<std::string>{"run " + std::to_string(i)});
        if (i == 0)
            after_first = open_descriptors();
    }
    EXPECT_LE(open_descriptors(), after_first + 2);
}

TEST_F(ScriptRun, TheModelNeverWaitsForAReaderThatIsSlow) {
    // The model writes 8 MiB, notes that it is done writing, and ends. The first portion of its
    // output is passed on slowly; a model whose output went through a pipe would be held up
    // until then.
    RunRequest req = request(
        "head -c 8388608 /dev/zero | tr '\\0' x; date +%s%N > written; "
        "echo m > out.msg; echo o > out.dat");
    long long first_portion_done = 0;
    hooks.on_line = nullptr;
    hooks.on_output = [&](std::string_view) {
        if (first_portion_done == 0) {
            std::this_thread::sleep_for(2s);
            first_portion_done = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        }
    };
    const RunResult r = run(req);
    ASSERT_TRUE(r.facts.succeeded()) << r.facts.failure;
    EXPECT_LT(std::stoll(dir.read("written")), first_portion_done);
    EXPECT_EQ(fs::file_size(dir.path() / "out.dat.log"), 8388608u);
}

TEST_F(ScriptRun, ALogThatCannotBeWrittenIsNotedAndTheRunGoesOn) {
    RunRequest req = request("echo m > out.msg; echo o > out.dat; echo hello");
    req.log_path = dir.str() + "/no-such-dir/out.dat.log";
    const RunResult r = run(req);
    EXPECT_TRUE(r.facts.succeeded()) << r.facts.failure;
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "The model's output could not be written to " + req.log_path, "hello"}));
}

TEST_F(ScriptRun, StartFailuresSayTheSystemsReason) {
    const struct {
        mode_t mode;
        const char* working_dir;
        int error;
        const char* failure;
    } rows[] = {
        {0644, nullptr, 75, "the model could not be started (error 75: Permission denied)"},
        {0755, "/no/such/dir", 76,
         "the model could not be started (error 76: No such file or directory)"},
    };
    for (const auto& row : rows) {
        recorder = {};
        RunRequest req = request("exit 0", row.mode);
        if (row.working_dir)
            req.working_dir = row.working_dir;
        const RunResult r = run(req);
        EXPECT_EQ(r.start_error, row.error);
        EXPECT_EQ(r.facts.failure, row.failure);
        EXPECT_FALSE(r.facts.was_started);
        EXPECT_EQ(recorder.calls, std::vector<std::string>{"ended"});
    }
}

TEST_F(ScriptRun, ASignalEndingTheModelIsNamed) {
    const RunResult r = run(request("echo m > out.msg; echo o > out.dat; kill -SEGV $$"));
    EXPECT_EQ(r.facts.signal, SIGSEGV);
    EXPECT_FALSE(r.facts.exit_status);
    EXPECT_EQ(exit_description(r.facts), "ended by signal 11 (Segmentation fault)");
    EXPECT_FALSE(r.facts.succeeded());
}

// The model ignores SIGTERM and starts a child that ignores it too, and one that leaves for a
// session of its own: a stop (by the user, by a batch's shared flag or by the time limit) ends
// all three after the grace period.
TEST_F(ScriptRun, StopAndTimeLimitEndTheModelAndAllItStarted) {
    const char* stubborn =
        "trap '' TERM; (trap '' TERM; exec sleep 60) & echo $! > child.pid; "
        "setsid sh -c \"trap '' TERM; exec sleep 60\" & echo $! > detached.pid; "
        "echo $$ > model.pid; echo ready; while :; do sleep 1; done";
    enum { user, flag, limit };
    for (const int by : {user, flag, limit}) {
        const bool by_limit = by == limit;
        RunControl control;
        std::atomic<bool> batch_stop{false};
        control.follow(batch_stop);
        RunRequest req = request(stubborn);
        if (by_limit)
            req.time_limit = 1s;
        hooks.on_line = [&](std::string_view l) {
            if (l == "ready" && by == user)
                control.stop();
            if (l == "ready" && by == flag)
                batch_stop = true;
        };
        const auto begin = std::chrono::steady_clock::now();
        const RunResult r = run(req, &control);
        const auto took = std::chrono::steady_clock::now() - begin;
        EXPECT_EQ(r.facts.stopped, by_limit ? StopReason::time_limit : StopReason::user);
        EXPECT_EQ(r.facts.signal, SIGKILL);
        EXPECT_GE(took, stop_grace);
        EXPECT_EQ(r.facts.failure,
                  by_limit ? "the model ran past the time limit of 1 s and was stopped" : "");
        EXPECT_FALSE(r.facts.succeeded());
        EXPECT_EQ(r.facts.left_running, 0u);
        for (const char* pid_file : {"model.pid", "child.pid", "detached.pid"})
            EXPECT_TRUE(test::ends_within(read_pid(dir.path() / pid_file))) << pid_file;
    }
}

// What a model leaves running when it ends goes with its run, in its group or not, and also
// below a child that outlived the model; as well where the orphans become this process's
// children (a child subreaper, as qvopt is) as where they do not.
TEST_F(ScriptRun, WhatTheModelLeavesRunningEndsWithTheRun) {
    for (const int subreaper : {0, 1}) {
        SCOPED_TRACE(subreaper ? "child subreaper" : "no child subreaper");
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, subreaper), 0);
        const RunResult r =
            run(request("sleep 60 & echo $! > child.pid; setsid sleep 60 & echo $! > detached.pid; "
                        "sh -c 'sleep 60 & echo $! > grandchild.pid; wait' & "
                        "while [ ! -s grandchild.pid ]; do sleep 0.01; done; "
                        "echo m > out.msg; echo o > out.dat"));
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
        EXPECT_TRUE(r.facts.succeeded()) << r.facts.failure;
        EXPECT_EQ(r.facts.left_running, 0u);
        for (const char* pid_file : {"child.pid", "detached.pid", "grandchild.pid"}) {
            EXPECT_TRUE(test::ends_within(read_pid(dir.path() / pid_file))) << pid_file;
            fs::remove(dir.path() / pid_file);
        }
    }
}

// A launcher whose model runs for a given number of state reads, and a trace of the run's pace.
struct PacedLauncher : ModelLauncher {
    std::vector<std::string>& trace;
    int reads_running;
    explicit PacedLauncher(std::vector<std::string>& t, int n) : trace(t), reads_running(n) {}

    struct Model : ModelProcess {
        PacedLauncher& l;
        explicit Model(PacedLauncher& launcher) : l(launcher) {}
        bool wait(std::chrono::milliseconds timeout, int, std::string&) override {
            if (timeout.count() == 0) {
                l.trace.push_back("state");
                return l.reads_running-- <= 0;
            }
            std::this_thread::sleep_for(timeout);
            return false;
        }
        void terminate_group() override {}
        void kill_group() override {}
        Exit reap() override { return {7, {}}; }
    };
    std::unique_ptr<ModelProcess> launch(const std::string&, const std::vector<std::string>&,
                                         const std::string&, const std::string&) override {
        return std::make_unique<Model>(*this);
    }
};

TEST_F(ScriptRun, TheEndTimeIsWhenTheModelEndedNotWhenAMessageBoxClosed) {
    // The window's first event handling holds the run as an open message box would.
    bool first = true;
    hooks.on_poll = [&] {
        if (std::exchange(first, false))
            std::this_thread::sleep_for(2s);
    };
    const RunResult r = run(request("sleep 0.2; echo m > out.msg; echo o > out.dat"));
    EXPECT_TRUE(r.facts.succeeded()) << r.facts.failure;
    EXPECT_LT(r.facts.ended - r.facts.started, 1500ms);
}

TEST(RunPace, WithAPollHookTheStateIsReadThenEventsThenOneIntervalUntilTheEnd) {
    for (int running : {0, 2}) {
        std::vector<std::string> trace;
        PacedLauncher launcher(trace, running);
        RunHooks hooks;
        hooks.on_poll = [&] { trace.push_back("events"); };
        const auto begin = std::chrono::steady_clock::now();
        const RunResult r = run_model_process(launcher, {}, hooks, {});
        EXPECT_EQ(r.facts.exit_status, 7);
        std::vector<std::string> expected;
        for (int i = 0; i <= running; ++i)
            expected.insert(expected.end(), {"state", "events"});
        EXPECT_EQ(trace, expected);
        // Even a model that ends at once gets one interval before the run goes on.
        EXPECT_GE(std::chrono::steady_clock::now() - begin, poll_interval * (running + 1));
    }
}

}  // namespace
}  // namespace qv::runs
