#include "runs/run_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace qv::runs {
namespace {

namespace fs = std::filesystem;

TEST(RunLock, OneHolderAtATimeNamedByItsProcessAndAFileLeftBehindIsTakenOver) {
    test::TempDir dir;
    const std::string record = (dir.path() / "DEMO.OUT.run.json").string();
    const fs::path lock_file = dir.path() / "demo.out.run.lock";
    EXPECT_EQ(lock_path_for(record), lock_file.string());
    EXPECT_FALSE(run_lock_holder(record));
    {
        RunLock::Attempt first = RunLock::take(record);
        ASSERT_TRUE(first.lock) << first.error;
        const RunLock::Attempt second = RunLock::take(record);
        EXPECT_FALSE(second.lock);
        ASSERT_TRUE(second.holder) << second.error;
        EXPECT_EQ(second.holder->pid, ::getpid());
        EXPECT_EQ(second.holder->started.size(), std::string("2026-12-09T08:15:02.123Z").size());
        ASSERT_TRUE(run_lock_holder(record));
        EXPECT_EQ(run_lock_holder(record)->pid, ::getpid());
        // Looking leaves the lock as it was.
        EXPECT_FALSE(RunLock::take(record).lock);
    }
    EXPECT_FALSE(fs::exists(lock_file));
    EXPECT_FALSE(run_lock_holder(record));

    // A holder killed outright leaves its file, naming a process that is gone, and no lock.
    dir.write("demo.out.run.lock", "pid 999999999\nstarted 2020-01-01T00:00:00.000Z\n");
    EXPECT_FALSE(run_lock_holder(record));
    RunLock::Attempt again = RunLock::take(record);
    ASSERT_TRUE(again.lock) << again.error;
    EXPECT_EQ(run_lock_holder(record)->pid, ::getpid());
}

}  // namespace
}  // namespace qv::runs
