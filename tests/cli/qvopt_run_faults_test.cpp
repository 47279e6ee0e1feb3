#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "cli/qvopt.h"
#include "support/temp_dir.h"

extern char** environ;

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

    void SetUp() override {
        fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", model,
                 fs::copy_options::recursive);
        fs::create_directories(model / "outputs");
        fs::remove(model / "outputs/demo.msg");
        fs::remove(model / "outputs/demo.out");
    }
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

TEST_F(FaultyModel, TheModelsOutputIsPassedOnByteForByteThenALineEnd) {
    // CR LF kept, a long line whole, and qvopt's own lines after the model's on a line of their
    // own although the model's last line has no line end.
    const std::string long_line(200000, 'y');
    script("printf 'one\\r\\ntwo\\n" + long_line +
           "\\nno end'; echo m > outputs/demo.msg; echo o > outputs/demo.out");
    std::ostringstream out, err;
    const int status = run_qvopt(args(), out, err);
    fs::current_path(start_dir);
    EXPECT_EQ(status, 0) << out.str() << err.str();
    const std::string expected = "one\r\ntwo\n" + long_line + "\nno end\n";
    const std::size_t at = out.str().find(expected);
    ASSERT_NE(at, std::string::npos) << out.str().substr(0, 300);
    EXPECT_EQ(test::read_file(model / "outputs/demo.out.log"),
              expected.substr(0, expected.size() - 1));
}

bool gone(pid_t pid) {
    // A killed process may linger briefly as init's zombie.
    const auto deadline = std::chrono::steady_clock::now() + 8s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
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

// The real qvopt, stopped by a signal while its model (which ignores SIGTERM and has started a
// child that ignores it too) runs: the model and its child are ended, and qvopt says so and exits
// with 128 + the signal. Killed outright, qvopt still leaves no model behind.
TEST_F(FaultyModel, SignalsToQvoptEndTheModelsWholeGroup) {
    script(
        "trap '' TERM INT HUP; (trap '' TERM INT HUP; exec sleep 60) & echo $! > child.pid; "
        "echo $$ > model.pid; echo ready; while :; do sleep 1; done");
    const struct {
        int signal;
        int exit_status;  // -1: ended by the signal
    } rows[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}, {SIGKILL, -1}};
    const std::string qvopt = std::string(QV_BINARY_DIR) + "/qvopt";
    for (const auto& row : rows) {
        fs::remove(model / "model.pid");
        fs::remove(model / "child.pid");
        std::vector<std::string> a = args();
        a[0] = qvopt;
        std::vector<char*> argv;
        for (auto& s : a)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        const std::string out_path = (dir.path() / "out.txt").string();
        const std::string err_path = (dir.path() / "err.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, qvopt.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);

        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!(fs::exists(model / "child.pid") && fs::exists(model / "model.pid") &&
                 test::read_file(out_path).find("ready") != std::string::npos) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(fs::exists(model / "model.pid")) << test::read_file(err_path);
        const pid_t model_pid = std::stoi(test::read_file(model / "model.pid"));
        const pid_t child_pid = std::stoi(test::read_file(model / "child.pid"));

        ::kill(pid, row.signal);
        const int status = wait_status(pid);
        if (row.exit_status < 0) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.signal);
        } else {
            ASSERT_TRUE(WIFEXITED(status)) << row.signal;
            EXPECT_EQ(WEXITSTATUS(status), row.exit_status);
            EXPECT_NE(test::read_file(err_path).find("stopped; the model and what it started "
                                                     "were ended"),
                      std::string::npos)
                << test::read_file(err_path);
            EXPECT_NE(test::read_file(out_path).find("ended by signal 9 (Killed)"),
                      std::string::npos)
                << test::read_file(out_path);
        }
        EXPECT_TRUE(gone(model_pid)) << "model outlived qvopt, signal " << row.signal;
        EXPECT_TRUE(gone(child_pid)) << "model's child outlived qvopt, signal " << row.signal;
    }
}

}  // namespace
}  // namespace qv::cli
