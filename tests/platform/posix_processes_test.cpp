#include "platform/process/posix_processes.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/app_error.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool no_child_left() {
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
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
        try {
            p.start_detached(row.program, {}, row.working_dir);
            ADD_FAILURE() << row.program << " started";
        } catch (const AppError& e) {
            EXPECT_EQ(e.number(), row.number) << row.program;
        }
        EXPECT_TRUE(no_child_left()) << row.program;
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
