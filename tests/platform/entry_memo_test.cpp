#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/fs/host_file_system.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Name = std::optional<std::string>;

// An entry's name on disk is asked for, something changes, and it is asked for again: the
// second answer is what a look-up from scratch gives, whoever made the change and wherever on
// the path it was made.
TEST(EntryOnDiskTest, AnswersAfterAChangeAsALookUpFromScratch) {
    test::TempDir tmp;
    HostFileSystem fsys;
    auto shell = [](const std::string& command) {
        return [command](const std::string& top) {
            ASSERT_EQ(std::system(("cd '" + top + "' && " + command).c_str()), 0) << command;
        };
    };
    struct Row {
        const char* what;
        std::vector<std::string> files;  // under the row's folder
        std::string dir, name;           // asked: DIR (under the row's folder) and NAME
        std::function<void(const std::string&)> change;
        Name before, after;
        std::function<void(const std::string&)> prepare = {};
    };
    const std::vector<Row> rows = {
        {"created by another process",
         {"In/x"},
         "In",
         "New.txt",
         shell("touch In/New.txt"),
         std::nullopt,
         "New.txt"},
        {"created in another case by another process",
         {"In/x"},
         "In",
         "NEW.TXT",
         shell("touch In/new.txt"),
         std::nullopt,
         "new.txt"},
        {"deleted by another process",
         {"In/a.txt"},
         "In",
         "a.txt",
         shell("rm In/a.txt"),
         "a.txt",
         std::nullopt},
        {"renamed in case by another process",
         {"In/Data.txt"},
         "In",
         "data.txt",
         shell("mv In/Data.txt In/DATA.TXT"),
         "Data.txt",
         "DATA.TXT"},
        {"an earlier case variant created beside the one found",
         {"In/file.dat"},
         "In",
         "FILE.DAT",
         shell("touch In/File.dat"),
         "file.dat",
         "File.dat"},
        {"the exact spelling created beside a case variant",
         {"In/report.txt"},
         "In",
         "Report.txt",
         shell("touch In/Report.txt"),
         "report.txt",
         "Report.txt"},
        {"created by the program",
         {"In/x"},
         "In",
         "Made.txt",
         [&](const std::string& top) { fsys.write_file(top + "/In/made.txt", "m"); },
         std::nullopt,
         "made.txt"},
        {"replaced atomically by the program",
         {"In/x"},
         "In",
         "Saved.txt",
         [&](const std::string& top) { fsys.write_file_atomic(top + "/In/Saved.txt", "s"); },
         std::nullopt,
         "Saved.txt"},
        {"deleted by the program",
         {"In/Gone.txt"},
         "In",
         "gone.txt",
         [&](const std::string& top) { fsys.remove(top + "/In/Gone.txt"); },
         "Gone.txt",
         std::nullopt},
        {"renamed by the program",
         {"In/Old.txt"},
         "In",
         "renamed.txt",
         [&](const std::string& top) {
             fsys.replace(top + "/In/Old.txt", top + "/In/Renamed.txt");
         },
         std::nullopt,
         "Renamed.txt"},
        {"the folder asked in renamed away",
         {"A/B/f.txt"},
         "A/B",
         "F.TXT",
         shell("mv A/B A/Was"),
         "f.txt",
         std::nullopt},
        {"a folder above replaced by another",
         {"A/B/f.txt"},
         "A/B",
         "f.txt",
         shell("mv A A.was && mkdir -p A/B && touch A/B/F.txt"),
         "f.txt",
         "F.txt"},
        // The look-up of a folder spelt otherwise than on disk finds it by its case.
        {"a folder above renamed in case",
         {"A/B/f.txt"},
         "A/B",
         "f.txt",
         shell("mv A/B A/b"),
         "f.txt",
         "f.txt"},
        // Only a user bound by permissions sees the folder go from the look-up.
        {"a folder above no longer searched",
         {"A/B/f.txt"},
         "A/B",
         "f.txt",
         shell("chmod a-x A"),
         "f.txt",
         ::geteuid() == 0 ? Name("f.txt") : std::nullopt},
        {"a link whose target goes",
         {"In/target"},
         "In",
         "link",
         shell("rm In/target"),
         "link",
         std::nullopt,
         shell("ln -s target In/link")},
        {"a link whose target comes",
         {"In/x"},
         "In",
         "link",
         shell("touch In/target"),
         std::nullopt,
         "link",
         shell("ln -s target In/link")},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string top = (tmp.path() / ("r" + std::to_string(++n))).string();
        for (const auto& f : row.files)
            tmp.write(fs::path(top).filename().string() + "/" + f, "");
        if (row.prepare)
            row.prepare(top);
        const std::string dir = top + "/" + row.dir;
        auto ask = [&](const Name& expected) {
            const Name got = fsys.entry_on_disk(dir, row.name);
            EXPECT_EQ(got, expected);
            EXPECT_EQ(got, fsys.FileSystem::entry_on_disk(dir, row.name));
        };
        ask(row.before);
        ask(row.before);  // from what was found
        row.change(top);
        ask(row.after);
        ask(row.after);
    }
    std::system(("chmod -R u+rwX '" + tmp.str() + "'").c_str());
}

// A file system mounted over a folder raises no event in the folder above it.
TEST(EntryOnDiskTest, AnswersAfterAMountOverAFolderOnTheWay) {
    test::TempDir tmp;
    HostFileSystem fsys;
    tmp.write("A/B/f.txt", "");
    const std::string dir = tmp.str() + "/A/B";
    EXPECT_EQ(fsys.entry_on_disk(dir, "F.TXT"), "f.txt");
    if (std::system(("mount -t tmpfs none '" + dir + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no mount allowed here";
    const Name after = fsys.entry_on_disk(dir, "F.TXT");
    ASSERT_EQ(std::system(("umount '" + dir + "'").c_str()), 0);
    EXPECT_EQ(after, std::nullopt);
    EXPECT_EQ(fsys.entry_on_disk(dir, "F.TXT"), "f.txt");
}

}  // namespace
}  // namespace qv
