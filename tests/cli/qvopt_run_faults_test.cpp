#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "cli/qvopt.h"
#include "support/spawn.h"
#include "support/temp_dir.h"

namespace qv::cli {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A copy of the demo workspace whose model is a stand-in shell script.
struct FaultyModel : ::testing::Test {
    const fs::path start_dir = fs::current_path();
    test::TempDir dir;
    const fs::path model = dir.path() / "model";
    const std::string opt = (model / "demo.opt").string();

    void SetUp() override { test::copy_demo_model(model, {.no_results = true}); }
    void TearDown() override { fs::current_path(start_dir); }

    void script(const std::string& body, fs::perms perms = fs::perms(0755)) {
        dir.write("model/model.sh", "#!/bin/sh\n" + body + "\n");
        fs::permissions(model / "model.sh", perms);
    }
    std::vector<std::string> args(std::vector<std::string> extra = {}) {
        std::vector<std::string> a = {
            "qvopt", "--model-dir", model.string(), "--model-exe", "model.sh", "run", opt};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
};

TEST_F(FaultyModel, FailuresAreReportedAsFailures) {
    const struct {
        const char* script;
        bool earlier_results;
        fs::perms perms;
        std::vector<std::string> extra;
        const char* out;
        const char* err;
    } rows[] = {
        {"exit 0", false, fs::perms(0755), {}, "message file ", "did not write its message file "},
        {"exit 0",
         true,
         fs::perms(0755),
         {},
         "not written by this run (an older file of 3 bytes is there)",
         "(the file there is older than the run)"},
        {"exit 0", false, fs::perms(0644), {}, "", "(error 75: Permission denied)"},
        {"kill -SEGV $$",
         false,
         fs::perms(0755),
         {},
         "ended by signal 11 (Segmentation fault)",
         ""},
        {"exec sleep 30",
         false,
         fs::perms(0755),
         {"--timeout", "1"},
         "ended by signal 15",
         "the model ran past the time limit of 1 s and was stopped"},
    };
    for (const auto& row : rows) {
        fs::remove(model / "outputs/demo.msg");
        fs::remove(model / "outputs/demo.out");
        if (row.earlier_results) {
            dir.write("model/outputs/demo.msg", "old");
            dir.write("model/outputs/demo.out", "old");
            for (const char* name : {"outputs/demo.msg", "outputs/demo.out"})
                fs::last_write_time(model / name, fs::file_time_type::clock::now() - 1h);
        }
        script(row.script, row.perms);
        std::ostringstream out, err;
        const int status = run_qvopt(args(row.extra), out, err);
        fs::current_path(start_dir);
        EXPECT_EQ(status, exit_status::run_failed) << row.script << out.str() << err.str();
        EXPECT_NE(out.str().find(row.out), std::string::npos) << row.script << '\n' << out.str();
        EXPECT_NE(err.str().find(row.err), std::string::npos) << row.script << '\n' << err.str();
    }
}

// A save that is refused stops `run` before the model starts (exit 5).
TEST_F(FaultyModel, ARefusedSaveRunsNothing) {
    script("touch ran");
    fs::permissions(opt, fs::perms::owner_read);
    std::ostringstream out, err;
    EXPECT_EQ(run_qvopt(args(), out, err), exit_status::save_failed);
    fs::current_path(start_dir);
    EXPECT_NE(out.str().find("file error 70"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("not saved; not run"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(model / "ran"));
}

// Waits for a process of ours, failing rather than hanging; its wait status.
int wait_status(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "qvopt did not end";
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
    return status;
}

// Its exit status, or 128 + the signal that ended it.
int exit_code(int wait_status) {
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

// Waits (bounded) until CONDITION holds.
bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    return condition();
}

// The parent's process id, from /proc.
pid_t parent_of(pid_t pid) {
    const std::string stat = test::read_file("/proc/" + std::to_string(pid) + "/stat");
    return static_cast<pid_t>(std::stol(stat.substr(stat.rfind(')') + 4)));
}

// The model's output passed on in every way qvopt's standard output may be: a stream inside
// the program, and for the real qvopt a file, a file opened for appending and a pipe (the last
// three straight from the log). Each gets the same bytes (CR LF kept, a long line whole, qvopt's
// own lines after the model's on a line of their own although its last line has no line end),
// the log holds the model's output alone although a longer one was there, and the run record's
// last lines are the same.
TEST_F(FaultyModel, TheModelsOutputIsPassedOnByteForByteThenALineEnd) {
    const std::string long_line(200000, 'y');
    script("seq 1 300; printf 'one\\r\\ntwo\\n" + long_line +
           "\\nno end'; echo m > outputs/demo.msg; echo o > outputs/demo.out");
    const std::string expected_log = "one\r\ntwo\n" + long_line + "\nno end";
    const fs::path log = model / "outputs/demo.out.log";
    const fs::path record = model / "outputs/demo.out.run.json";
    const struct {
        const char* way;
        const char* redirect;  // for the real qvopt; none: the stream
    } rows[] = {{"stream", nullptr},
                {"file", "> out.txt"},
                {"appended file", ">> out.txt"},
                {"pipe", "| cat > out.txt"}};
    std::string first_out, first_tail;
    for (const auto& row : rows) {
        dir.write("model/outputs/demo.out.log", std::string(300000, 'z') + "\n");
        std::string out;
        if (!row.redirect) {
            std::ostringstream stream, err;
            EXPECT_EQ(run_qvopt(args(), stream, err), 0) << err.str();
            fs::current_path(start_dir);
            out = stream.str();
        } else {
            fs::remove(dir.path() / "out.txt");
            std::string command = "cd '" + dir.str() + "' && '" + QV_BINARY_DIR + "/qvopt'";
            const std::vector<std::string> all = args();
            for (std::size_t i = 1; i < all.size(); ++i)
                command += " '" + all[i] + "'";
            command += std::string(" ") + row.redirect;
            const pid_t pid =
                test::spawn({"/bin/sh", "-c", command}, (dir.path() / "err.txt").string());
            EXPECT_EQ(exit_code(wait_status(pid)), 0) << test::read_file(dir.path() / "err.txt");
            out = test::read_file(dir.path() / "out.txt");
        }
        EXPECT_NE(out.find("300\n" + expected_log + "\n"), std::string::npos)
            << row.way << ": " << out.substr(0, 300);
        std::string log_text = test::read_file(log);
        EXPECT_EQ(log_text.size(), 1092 + expected_log.size()) << row.way;
        EXPECT_EQ(log_text.substr(log_text.size() - expected_log.size()), expected_log) << row.way;
        const std::string record_text = test::read_file(record);
        const std::string tail = record_text.substr(record_text.find("\"console_tail\""));
        if (first_out.empty()) {
            first_out = out;
            first_tail = tail.substr(0, tail.find(']'));
        } else {
            EXPECT_EQ(out, first_out) << row.way;
            EXPECT_EQ(tail.substr(0, tail.find(']')), first_tail) << row.way;
        }
    }
}

// The real qvopt, started with its output in out.txt and err.txt.
struct RealQvopt {
    pid_t pid = 0;
    std::string out_path, err_path;
    RealQvopt(const fs::path& dir, std::vector<std::string> args) {
        out_path = (dir / "out.txt").string();
        err_path = (dir / "err.txt").string();
        args[0] = std::string(QV_BINARY_DIR) + "/qvopt";
        pid = test::spawn(args, out_path, err_path);
        EXPECT_NE(pid, 0);
    }
    // A test that gave up on it leaves nothing running.
    ~RealQvopt() {
        if (ended)
            return;
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    std::string out() const { return test::read_file(out_path); }
    std::string err() const { return test::read_file(err_path); }
    // The exit status once it has ended (bounded).
    int code() {
        ended = true;
        return exit_code(wait_status(pid));
    }
    bool ended = false;
};

// The real qvopt, stopped by a signal while its model (which ignores SIGTERM and has started a
// child that ignores it too, and a grandchild that left its session and lost its parent) runs:
// all of them are ended, and qvopt says so and exits with 128 + the signal. Killed outright,
// qvopt still leaves nothing of the run behind. Meanwhile the orphan is qvopt's child.
TEST_F(FaultyModel, SignalsToQvoptEndTheModelAndAllItStarted) {
    script(
        "trap '' TERM INT HUP; (trap '' TERM INT HUP; exec sleep 60) & echo $! > child.pid; "
        "(setsid sh -c \"trap '' TERM INT HUP; echo \\$\\$ > orphan.pid; exec sleep 60\" &); "
        "echo $$ > model.pid; echo ready; while :; do sleep 1; done");
    const struct {
        int signal;
        int exit_status;
    } rows[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}, {SIGKILL, 128 + SIGKILL}};
    for (const auto& row : rows) {
        for (const char* f : {"model.pid", "child.pid", "orphan.pid"})
            fs::remove(model / f);
        RealQvopt qv(dir.path(), args());
        ASSERT_TRUE(eventually([&] {
            return fs::exists(model / "child.pid") && fs::exists(model / "orphan.pid") &&
                   qv.out().find("ready") != std::string::npos;
        })) << qv.err();
        std::vector<pid_t> pids;
        for (const char* f : {"model.pid", "child.pid", "orphan.pid"})
            pids.push_back(std::stoi(test::read_file(model / f)));
        EXPECT_TRUE(eventually([&] { return parent_of(pids[2]) == qv.pid; }))
            << "the orphan is not qvopt's";

        ::kill(qv.pid, row.signal);
        EXPECT_EQ(qv.code(), row.exit_status) << qv.err();
        if (row.signal != SIGKILL) {
            EXPECT_NE(qv.err().find("stopped; the model and what it started were ended"),
                      std::string::npos)
                << qv.err();
            EXPECT_NE(qv.out().find("ended by signal 9 (Killed)"), std::string::npos) << qv.out();
        }
        for (pid_t pid : pids)
            EXPECT_TRUE(test::ends_within(pid)) << pid << " outlived qvopt, signal " << row.signal;
    }
}

// Inputs that are a FIFO and a device are recorded without being read: no command waits on
// them, and they count as changed only once they are something else.
TEST_F(FaultyModel, InputsThatAreNotRegularFilesAreNeverRead) {
    const fs::path fifo = dir.path() / "pipe.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string text = test::read_file(opt);
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"data\\activity\\activity.dat", "/dev/zero"},
          {"data\\tech\\tech-exh.dat", fifo.string()}})
        text.replace(text.find(from), from.size(), to);
    dir.write("model/demo.opt", text);
    script("echo m > outputs/demo.msg; echo o > outputs/demo.out");
    const std::string record = (model / "outputs/demo.out.run.json").string();
    const std::string list = dir.write("list.txt", opt + "\n");
    auto common = [&](std::vector<std::string> words) {
        std::vector<std::string> a = {"qvopt", "--model-dir", model.string(), "--model-exe",
                                      "model.sh"};
        a.insert(a.end(), words.begin(), words.end());
        return a;
    };
    const struct {
        std::vector<std::string> args;
        int exit_status;
        std::string shown;
    } rows[] = {
        {args(), 0, "exit status 0"},
        {common({"status", opt}), 0, "up to date"},
        {common({"status", "--json", opt}), 0, "\"up to date\""},
        {common({"verify", record}), 0, "holds"},
        {common({"batch", "status", list}), 0, "1 done"},
    };
    for (const auto& row : rows) {
        RealQvopt qv(dir.path(), row.args);
        EXPECT_EQ(qv.code(), row.exit_status) << row.args[5] << '\n' << qv.out() << qv.err();
        EXPECT_NE(qv.out().find(row.shown), std::string::npos) << row.args[5] << '\n' << qv.out();
    }
    const std::string json = test::read_file(record);
    std::size_t unread = 0;
    for (std::size_t at = 0;
         (at = json.find("\"not_hashed\": \"not a regular file\"", at)) != std::string::npos; ++at)
        ++unread;
    EXPECT_EQ(unread, 2u) << json;

    fs::remove(fifo);
    dir.write("pipe.dat", "a file now");
    RealQvopt qv(dir.path(), common({"status", opt}));
    EXPECT_EQ(qv.code(), 1);
    EXPECT_NE(qv.out().find(fifo.string() + " changed"), std::string::npos) << qv.out();
}

// SIGTERM while the inputs are hashed, after the model has ended: qvopt stops hashing and ends
// with 143, the record written with what was hashed by then.
TEST_F(FaultyModel, SigtermWhileHashingEndsTheRun) {
    // A terabyte of nothing: a file system keeps it in no space, and hashing it takes hours.
    const fs::path huge = dir.path() / "huge.dat";
    std::ofstream(huge).close();
    fs::resize_file(huge, std::uintmax_t{1} << 40);
    std::string text = test::read_file(opt);
    const std::string from = "data\\activity\\activity.dat";
    text.replace(text.find(from), from.size(), huge.string());
    dir.write("model/demo.opt", text);
    script("echo m > outputs/demo.msg; echo o > outputs/demo.out; echo ended");
    RealQvopt qv(dir.path(), args());
    ASSERT_TRUE(eventually([&] { return qv.out().find("ended") != std::string::npos; }))
        << qv.err();
    ::kill(qv.pid, SIGTERM);
    EXPECT_EQ(qv.code(), 143) << qv.out() << qv.err();
    EXPECT_NE(
        test::read_file(model / "outputs/demo.out.run.json").find("\"not_hashed\": \"stopped\""),
        std::string::npos);
}
}  // namespace
}  // namespace qv::cli
