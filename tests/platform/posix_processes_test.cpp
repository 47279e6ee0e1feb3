#include "platform/process/posix_processes.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/app_error.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::unique_ptr<ProcessHandle> shell(PosixProcesses& p, const std::string& script,
                                     const std::string& dir = "") {
    return p.start("/bin/sh", {"-c", script}, dir, WindowStyle::Normal);
}

// Polls as the model run does, with a deadline so that a hang fails instead of blocking.
void wait_until_ended(ProcessHandle& h) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (h.running()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the process did not end";
        std::this_thread::sleep_for(10ms);
    }
}

bool gone(pid_t pid) {
    // A killed process may linger briefly as init's zombie.
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

bool no_child_left() {
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

TEST(PosixProcesses, ExitCodesAndSignals) {
    const struct {
        const char* script;
        int code;
    } rows[] = {{"exit 0", 0}, {"exit 3", 3}, {"exit 255", 255}, {"kill -TERM $$", 128 + SIGTERM}};
    PosixProcesses p;
    for (const auto& row : rows) {
        auto h = shell(p, row.script);
        wait_until_ended(*h);
        EXPECT_EQ(h->exit_code(), row.code) << row.script;
        EXPECT_FALSE(h->running()) << "stays ended";
    }
    EXPECT_TRUE(no_child_left());
}

TEST(PosixProcesses, RunsInTheWorkingDirectoryAndPassesItsOutputOnByLine) {
    test::TempDir dir;
    PosixProcesses p;
    std::vector<std::string> lines;
    p.on_output = [&](const std::string& l) { lines.push_back(l); };
    auto h = shell(p, "pwd; echo to-error >&2; printf 'crlf\\r\\n\\nlast'", dir.str());
    wait_until_ended(*h);
    EXPECT_EQ(h->exit_code(), 0);
    const std::vector<std::string> expected = {fs::canonical(dir.path()).string(), "to-error",
                                               "crlf", "", "last"};
    EXPECT_EQ(lines, expected);
}

TEST(PosixProcesses, TerminateEndsTheProcessAndWhatItStarted) {
    // The second row ignores SIGTERM throughout, so only the SIGKILL after the grace period ends
    // it.
    const char* traps[] = {"", "trap '' TERM; "};
    test::TempDir dir;
    PosixProcesses p;
    for (const char* trap : traps) {
        const fs::path pid_file = dir.path() / "grandchild.pid";
        fs::remove(pid_file);
        auto h = shell(p,
                       std::string(trap) +
                           "sleep 60 & echo $! > grandchild.pid.tmp; "
                           "mv grandchild.pid.tmp grandchild.pid; wait",
                       dir.str());
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!fs::exists(pid_file) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        pid_t grandchild = 0;
        std::ifstream(pid_file) >> grandchild;
        ASSERT_GT(grandchild, 0) << trap;
        ASSERT_TRUE(h->running());

        h->terminate();
        EXPECT_FALSE(h->running()) << trap;
        EXPECT_TRUE(gone(grandchild)) << trap;
    }
    EXPECT_TRUE(no_child_left());
}

TEST(PosixProcesses, StartFailuresThrowTheirErrorAndLeaveNoChild) {
    test::TempDir dir;
    const std::string plain = dir.write("plain.txt", "not a program\n");
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
    const struct {
        std::string program, working_dir;
        int number;
    } rows[] = {
        {(dir.path() / "missing").string(), "", err::file_not_found},
        {"qv-no-such-program-anywhere", "", err::file_not_found},
        {plain, "", err::path_access},
        {"/bin/sh", (dir.path() / "no-such-dir").string(), err::path_not_found},
    };
    PosixProcesses p;
    for (const auto& row : rows) {
        for (bool capture : {false, true}) {
            p.on_output = capture ? std::function<void(const std::string&)>([](auto&) {}) : nullptr;
            try {
                p.start(row.program, {}, row.working_dir, WindowStyle::Normal);
                ADD_FAILURE() << row.program << " started";
            } catch (const AppError& e) {
                EXPECT_EQ(e.number(), row.number) << row.program;
            }
            EXPECT_TRUE(no_child_left()) << row.program;
        }
    }
}

TEST(PosixProcesses, DetachedProgramRunsOnAndIsNotOurChild) {
    test::TempDir dir;
    PosixProcesses p;
    p.start_detached("/bin/sh", {"-c", "sleep 0.2; echo done > detached.txt"}, dir.str());
    EXPECT_TRUE(no_child_left());
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!fs::exists(dir.path() / "detached.txt") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(fs::exists(dir.path() / "detached.txt"));
    EXPECT_THROW(p.start_detached((dir.path() / "missing").string(), {}, ""), AppError);
}

}  // namespace
}  // namespace qv
