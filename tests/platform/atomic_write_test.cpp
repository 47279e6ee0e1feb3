#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "platform/app_error.h"
#include "platform/fs/host_file_system.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

int error_number(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

mode_t mode_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct ModeCase {
    mode_t mode;
    int error;  // 0: written
};

class AtomicWriteMode : public ::testing::TestWithParam<ModeCase> {};

// A replaced file keeps its permission bits; one that nobody may write is refused whoever runs
// the program, and stays as it was.
TEST_P(AtomicWriteMode, KeepsTheBitsOrRefusesAReadOnlyFile) {
    const ModeCase c = GetParam();
    TempDir tmp;
    const std::string path = tmp.write("run.opt", "old");
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    HostFileSystem hfs;
    EXPECT_EQ(error_number([&] { hfs.write_file_atomic(path, "new"); }), c.error);
    EXPECT_EQ(tmp.read("run.opt"), c.error ? "old" : "new");
    EXPECT_EQ(mode_of(path), c.mode);
    EXPECT_EQ(names_in(tmp.path()), std::vector<std::string>{"run.opt"});
}

INSTANTIATE_TEST_SUITE_P(Modes, AtomicWriteMode,
                         ::testing::Values(ModeCase{0600, 0}, ModeCase{0640, 0}, ModeCase{0664, 0},
                                           ModeCase{0755, 0}, ModeCase{0200, 0}, ModeCase{0444, 70},
                                           ModeCase{0400, 70}, ModeCase{0000, 70}));

TEST(AtomicWrite, NewFileGetsTheUsualBits) {
    TempDir tmp;
    const mode_t mask = ::umask(022);
    HostFileSystem hfs;
    hfs.write_file_atomic((tmp.path() / "new.opt").string(), "x");
    ::umask(mask);
    EXPECT_EQ(mode_of((tmp.path() / "new.opt").string()), 0644u);
}

TEST(AtomicWrite, KeepsOwnerAndGroupWhereAllowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file away";
    TempDir tmp;
    const std::string path = tmp.write("run.opt", "old");
    ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
    HostFileSystem hfs;
    hfs.write_file_atomic(path, "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
}

// A save through a link replaces the file the link names, in its own directory, and the link
// stays a link; links to links and relative links are followed too.
TEST(AtomicWrite, ThroughASymbolicLinkReplacesTheFileItNames) {
    TempDir tmp;
    const std::string real = tmp.write("data/real.opt", "old");
    ::chmod(real.c_str(), 0600);
    fs::create_symlink("data/real.opt", tmp.path() / "first.opt");
    fs::create_symlink(tmp.path() / "first.opt", tmp.path() / "second.opt");
    HostFileSystem hfs;
    hfs.write_file_atomic((tmp.path() / "second.opt").string(), "new");
    EXPECT_TRUE(fs::is_symlink(tmp.path() / "first.opt"));
    EXPECT_TRUE(fs::is_symlink(tmp.path() / "second.opt"));
    EXPECT_EQ(tmp.read("data/real.opt"), "new");
    EXPECT_EQ(mode_of(real), 0600u);
    EXPECT_EQ(names_in(tmp.path() / "data"), std::vector<std::string>{"real.opt"});
}

// A write killed part-way leaves only the one hidden temporary file of its target; the next
// write takes it over and leaves nothing behind.
TEST(AtomicWrite, ReusesTheOneTemporaryNameOfItsTarget) {
    TempDir tmp;
    const std::string path = tmp.write("run.opt", "old");
    const std::string stray = tmp.write(save_temp_name("run.opt"), "half a file");
    ::chmod(stray.c_str(), 0444);
    HostFileSystem hfs;
    const FileFacts facts = hfs.write_file_atomic(path, "new");
    EXPECT_EQ(tmp.read("run.opt"), "new");
    EXPECT_EQ(facts.size, 3u);
    EXPECT_EQ(names_in(tmp.path()), std::vector<std::string>{"run.opt"});
    EXPECT_EQ(save_temp_name("run.opt"), ".run.opt.qv-save");
}

// A group flushes its files together where one flush of the file system is sound, else each
// on its own; both must leave the same files behind.
enum class GroupKind { whole_file_system, each_file };

std::unique_ptr<WriteGroup> group_of(HostFileSystem& hfs, GroupKind kind) {
    return kind == GroupKind::each_file ? hfs.write_group_flushing_each_file() : hfs.write_group();
}

class AtomicWriteGroup : public ::testing::TestWithParam<GroupKind> {};

// Writes of a group are in place once it has finished: new files and replaced ones, a file
// written twice with its last text, its bits kept, and no temporary file left behind. More
// files than the group holds open at once, so that it flushes more than once.
TEST_P(AtomicWriteGroup, PutsEveryFileInPlaceByItsEnd) {
    TempDir tmp;
    const std::string kept = tmp.write("old.opt", "old");
    ::chmod(kept.c_str(), 0600);
    HostFileSystem hfs;
    std::vector<std::string> expected{"old.opt"};
    {
        auto group = group_of(hfs, GetParam());
        hfs.write_file_atomic(kept, "first");
        for (int i = 0; i < 1100; ++i) {
            const std::string name = "v" + std::to_string(1000 + i) + ".opt";
            EXPECT_EQ(hfs.write_file_atomic((tmp.path() / name).string(), name).size, name.size());
            expected.push_back(name);
        }
        hfs.write_file_atomic(kept, "second");
        hfs.write_file_atomic(kept, "third");
        // A group within a group leaves its writes to the outer one.
        hfs.write_group()->finish();
        EXPECT_EQ(group->finish(), "");
        // Once finished, writes are made at once again.
        hfs.write_file_atomic((tmp.path() / "after.opt").string(), "after");
        EXPECT_EQ(tmp.read("after.opt"), "after");
        expected.push_back("after.opt");
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names_in(tmp.path()), expected);
    EXPECT_EQ(tmp.read("v1299.opt"), "v1299.opt");
    EXPECT_EQ(tmp.read("v2099.opt"), "v2099.opt");
    EXPECT_EQ(tmp.read("old.opt"), "third");
    EXPECT_EQ(mode_of(kept), 0600u);
}

// A file that cannot take its name (a folder has taken it meanwhile) is named by finish() and
// leaves no temporary file; the others of the group are in place. (A group that flushes each
// file on its own may put it in place before the folder is made.)
TEST(AtomicWrite, AGroupNamesTheFileItCouldNotPutInPlaceAndKeepsTheOthers) {
    TempDir tmp;
    HostFileSystem hfs;
    auto group = hfs.write_group();
    for (const char* name : {"a.opt", "b.opt", "c.opt"})
        hfs.write_file_atomic((tmp.path() / name).string(), name);
    const std::string folder = (tmp.path() / "b.opt").string();
    if (::mkdir(folder.c_str(), 0755) != 0)
        GTEST_SKIP() << "this file system's group flushes each file at once";
    tmp.write("b.opt/inside", "x");
    EXPECT_EQ(group->finish(), (tmp.path() / "b.opt").string());
    EXPECT_EQ(names_in(tmp.path()), (std::vector<std::string>{"a.opt", "b.opt", "c.opt"}));
    EXPECT_EQ(tmp.read("a.opt"), "a.opt");
    EXPECT_EQ(tmp.read("c.opt"), "c.opt");
    EXPECT_TRUE(fs::is_directory(tmp.path() / "b.opt"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, AtomicWriteGroup,
                         ::testing::Values(GroupKind::whole_file_system, GroupKind::each_file));

TEST(FileLock, HoldsOffOtherLockersUntilReleased) {
    TempDir tmp;
    const std::string path = tmp.write("run.opt", "x");
    HostFileSystem hfs;
    EXPECT_EQ(hfs.lock_file((tmp.path() / "missing.opt").string()), nullptr);
    auto other_may_lock = [&] {
        int fd = ::open(path.c_str(), O_RDONLY);
        bool got = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return got;
    };
    {
        auto lock = hfs.lock_file(path);
        ASSERT_NE(lock, nullptr);
        EXPECT_FALSE(other_may_lock());
    }
    EXPECT_TRUE(other_may_lock());
}

TEST(ReadFileWithFacts, GivesTheFactsOfTheFileRead) {
    TempDir tmp;
    const std::string path = tmp.write("run.opt", "12345");
    HostFileSystem hfs;
    FileFacts facts;
    EXPECT_EQ(hfs.read_file_with_facts(path, facts), "12345");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(facts.size, 5u);
    EXPECT_EQ(facts.mtime, st.st_mtim.tv_sec);
    EXPECT_EQ(facts.mtime_ns, st.st_mtim.tv_sec * 1'000'000'000 + st.st_mtim.tv_nsec);
}

}  // namespace
}  // namespace qv
