#include "platform/hash/remembering_hasher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <atomic>
#include <cstdio>
#include <functional>

#include "platform/hash/openssl_hasher.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::TempDir;

// Counts the files it is asked to hash.
class CountingHasher final : public Hasher {
  public:
    FileDigest sha256_file(const std::string& path, const StopCheck& stop) const override {
        ++calls;
        return real.sha256_file(path, stop);
    }
    OpensslHasher real;
    mutable std::atomic<int> calls{0};
};

struct stat stat_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

bool same_stamp(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Writes BYTES over the file in place, until its status-change time has moved: the times come
// from a coarse clock, and the case is about a change the identity does show.
void rewrite_in_place(const std::string& path, const std::string& bytes) {
    const struct stat was = stat_of(path);
    do {
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    } while (same_stamp(stat_of(path).st_ctim, was.st_ctim));
}

// Gives the file back the change time it had, so that only size, inode or status time tell.
void restore_mtime(const std::string& path, const struct stat& was) {
    const timespec times[2] = {was.st_atim, was.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(RememberingHasher, HashesAnUnchangedFileOnce) {
    TempDir dir;
    const std::string file = dir.write("shared.dat", "the same bytes\n");
    CountingHasher counting;
    const RememberingHasher hasher(counting, std::chrono::nanoseconds(0));
    const FileDigest first = hasher.sha256_file(file);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(hasher.sha256_file(file).sha256, first.sha256);
    EXPECT_EQ(counting.calls, 1);
    EXPECT_EQ(first.sha256, counting.real.sha256_file(file).sha256);
}

// Each change moves some part of the file's identity; the kept hash must never be given for
// the new content.
TEST(RememberingHasher, HashesAgainWhateverPartOfTheIdentityMoved) {
    struct Case {
        const char* name;
        std::function<void(const TempDir&, const std::string&)> change;
    };
    const Case cases[] = {
        {"same size, change time restored",
         [](const TempDir&, const std::string& f) {
             const struct stat was = stat_of(f);
             rewrite_in_place(f, "other bytes!!!\n");
             restore_mtime(f, was);
         }},
        {"longer",
         [](const TempDir&, const std::string& f) {
             const struct stat was = stat_of(f);
             FILE* out = std::fopen(f.c_str(), "a");
             std::fputs("more\n", out);
             std::fclose(out);
             restore_mtime(f, was);
         }},
        {"replaced by another file",
         [](const TempDir& d, const std::string& f) {
             const struct stat was = stat_of(f);
             const std::string other = d.write("other.dat", "other bytes!!!\n");
             restore_mtime(other, was);
             ASSERT_EQ(std::rename(other.c_str(), f.c_str()), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir.write("shared.dat", "the same bytes\n");
        CountingHasher counting;
        const RememberingHasher hasher(counting, std::chrono::nanoseconds(0));
        const std::string before = hasher.sha256_file(file).sha256;
        c.change(dir, file);
        const std::string after = hasher.sha256_file(file).sha256;
        EXPECT_NE(after, before);
        EXPECT_EQ(after, counting.real.sha256_file(file).sha256);
        EXPECT_EQ(counting.calls, 2);
    }
}

TEST(RememberingHasher, KeepsNoHashOfAFileJustChangedNorOfOneNotHashed) {
    TempDir dir;
    const std::string fresh = dir.write("fresh.dat", "just written\n");
    CountingHasher counting;
    // The file was written well within the hour the hasher waits for.
    const RememberingHasher hasher(counting, std::chrono::hours(1));
    hasher.sha256_file(fresh);
    hasher.sha256_file(fresh);
    EXPECT_EQ(counting.calls, 2);

    const RememberingHasher settled(counting, std::chrono::nanoseconds(0));
    counting.calls = 0;
    EXPECT_TRUE(settled.sha256_file(fresh, [] { return true; }).sha256.empty());
    EXPECT_FALSE(settled.sha256_file(fresh).sha256.empty());
    EXPECT_EQ(counting.calls, 2);
    EXPECT_FALSE(settled.sha256_file(dir.str()).refusal.empty());
}

}  // namespace
}  // namespace qv
