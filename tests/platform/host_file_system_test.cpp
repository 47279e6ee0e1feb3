#include "platform/fs/host_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/app_error.h"
#include "platform/fs/listing_cache.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

int error_number(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

// Each test runs inside its own temporary directory; the working directory comes back after.
class HostFileSystemTest : public ::testing::Test {
  protected:
    HostFileSystemTest() { fs::current_path(tmp.path()); }
    ~HostFileSystemTest() override { fs::current_path(saved_cwd); }

    // How the program would spell a path under the temporary directory: drive, "\", upper case.
    std::string win(const std::string& rel) const {
        std::string p = "C:" + tmp.str() + "/" + rel;
        std::replace(p.begin(), p.end(), '/', '\\');
        std::transform(p.begin(), p.end(), p.begin(), ::toupper);
        return p;
    }
    std::string host(const std::string& rel) const { return (tmp.path() / rel).string(); }
    Names dir_names() const {
        Names n;
        for (const auto& e : fs::directory_iterator(tmp.path()))
            n.push_back(e.path().filename());
        std::sort(n.begin(), n.end());
        return n;
    }

    fs::path saved_cwd = fs::current_path();
    test::TempDir tmp;
    HostFileSystem fsys;
};

TEST_F(HostFileSystemTest, MapsSeparatorsDrivesDotsAndRelativePaths) {
    const std::string r = tmp.str();
    const std::pair<std::string, std::string> rows[] = {
        {"C:", "/"},
        {"c:\\", "/"},
        {r + "//new\\.\\x\\..\\y.txt", r + "/new/y.txt"},
        {"\\..\\..\\" + r, r},
        {"sub\\f.txt", r + "/sub/f.txt"},
        {"c:sub/f.txt", r + "/sub/f.txt"},
        {"./a/../../" + fs::path(r).filename().string() + "/b", r + "/b"},
        {"", ""},
        {std::string("a\0b", 3), ""},
    };
    for (const auto& [program, expected] : rows)
        EXPECT_EQ(fsys.host_path(program), expected) << program;
}

TEST_F(HostFileSystemTest, FallsBackToCaseVariantsAtEveryDepth) {
    tmp.write("Sub/Deeper/file.txt", "deep");
    tmp.write("Sub/dup.txt", "lower");
    tmp.write("Sub/DUP.txt", "upper");
    tmp.write("Sub/Dup.txt", "mixed");

    EXPECT_EQ(fsys.read_file(win("SUB\\DEEPER\\FILE.TXT")), "deep");
    EXPECT_EQ(fsys.host_path(win("sub\\deeper")), host("Sub/Deeper"));
    EXPECT_EQ(fsys.read_file(host("Sub/Dup.txt")), "mixed");  // the exact name wins
    EXPECT_EQ(fsys.read_file(host("Sub/dUP.txt")), "upper");  // else the first in byte order

    // A new file keeps its own name inside the case-corrected directories.
    fsys.write_file(win("SUB\\DEEPER\\New\\..\\Made.TXT"), "new");
    EXPECT_EQ(tmp.read("Sub/Deeper/MADE.TXT"), "new");
    EXPECT_TRUE(fsys.same_file("sub\\deeper\\made.txt", host("Sub/Deeper/MADE.TXT")));
    EXPECT_FALSE(fsys.same_file("sub\\dup.txt", "sub\\Dup.txt"));
    EXPECT_TRUE(fsys.same_file("sub\\none.txt", win("SUB") + "\\none.txt"));
}

// A folder's listing is kept between look-ups; whatever changes the folder in between, by this
// program, by another process or directly through std::filesystem, the next look-up sees it:
// with listings kept under watches and with listings kept by the folder's time. The folder's
// time is set back an hour so that the listing is kept by time, put a little ahead (a change
// in the tick of the listing), or put at the whole second just before the listing (a file
// system that keeps whole seconds). A change by the program, and one in the tick or the second
// of the listing, puts the time back as such a change would leave it. A name of few letters is
// looked up by its spellings rather than by a listing.
TEST_F(HostFileSystemTest, KeptListingsNeverGiveAStaleAnswer) {
    using Lookups = std::vector<std::pair<std::string, std::string>>;  // name asked, name found
    const auto other = [](const std::string& command) {
        return [command](const std::string& sub) {
            ASSERT_EQ(std::system(("cd '" + sub + "' && " + command).c_str()), 0);
        };
    };
    enum class Stamp { settled, ahead, this_second };
    struct Row {
        const char* what;
        Names files;
        std::function<void(const std::string& sub)> change;
        Lookups before, after;
        Stamp stamp = Stamp::settled;
        bool time_kept = false;  // the change leaves the folder's time as it was
    };
    const Row rows[] = {
        {"created by the program",
         {},
         [&](const std::string& sub) { fsys.write_file(sub + "/Made.txt", ""); },
         {{"MADE.TXT", "MADE.TXT"}},
         {{"MADE.TXT", "Made.txt"}},
         Stamp::settled,
         true},
        {"created by another process",
         {},
         other("touch Other.txt"),
         {{"OTHER.TXT", "OTHER.TXT"}},
         {{"OTHER.TXT", "Other.txt"}}},
        {"created through std::filesystem",
         {},
         [](const std::string& sub) { std::ofstream(sub + "/Direct.txt").put('x'); },
         {{"DIRECT.TXT", "DIRECT.TXT"}},
         {{"DIRECT.TXT", "Direct.txt"}}},
        {"deleted by the program",
         {"Gone.txt"},
         [&](const std::string& sub) { fsys.remove(sub + "/GONE.TXT"); },
         {{"GONE.TXT", "Gone.txt"}},
         {{"GONE.TXT", "GONE.TXT"}},
         Stamp::settled,
         true},
        {"deleted by another process",
         {"Gone.txt"},
         other("rm Gone.txt"),
         {{"GONE.TXT", "Gone.txt"}},
         {{"GONE.TXT", "GONE.TXT"}}},
        {"deleted through std::filesystem",
         {"Gone.txt"},
         [](const std::string& sub) { fs::remove(sub + "/Gone.txt"); },
         {{"GONE.TXT", "Gone.txt"}},
         {{"GONE.TXT", "GONE.TXT"}}},
        {"renamed by the program",
         {"Old.txt"},
         [&](const std::string& sub) { fsys.replace(sub + "/old.txt", sub + "/New.txt"); },
         {{"OLD.TXT", "Old.txt"}, {"NEW.TXT", "NEW.TXT"}},
         {{"OLD.TXT", "OLD.TXT"}, {"NEW.TXT", "New.txt"}},
         Stamp::settled,
         true},
        {"renamed by another process",
         {"Old.txt"},
         other("mv Old.txt New.txt"),
         {{"OLD.TXT", "Old.txt"}, {"NEW.TXT", "NEW.TXT"}},
         {{"OLD.TXT", "OLD.TXT"}, {"NEW.TXT", "New.txt"}}},
        {"renamed through std::filesystem",
         {"Old.txt"},
         [](const std::string& sub) { fs::rename(sub + "/Old.txt", sub + "/New.txt"); },
         {{"OLD.TXT", "Old.txt"}, {"NEW.TXT", "NEW.TXT"}},
         {{"OLD.TXT", "OLD.TXT"}, {"NEW.TXT", "New.txt"}}},
        {"created in the tick of the listing",
         {},
         other("touch Late.txt"),
         {{"LATE.TXT", "LATE.TXT"}},
         {{"LATE.TXT", "Late.txt"}},
         Stamp::ahead,
         true},
        {"created by another process in the second of the listing",
         {},
         other("touch Late.txt"),
         {{"LATE.TXT", "LATE.TXT"}},
         {{"LATE.TXT", "Late.txt"}},
         Stamp::this_second,
         true},
        {"deleted by another process in the second of the listing",
         {"Gone.txt"},
         other("rm Gone.txt"),
         {{"GONE.TXT", "Gone.txt"}},
         {{"GONE.TXT", "GONE.TXT"}},
         Stamp::this_second,
         true},
        {"renamed through std::filesystem in the second of the listing",
         {"Old.txt"},
         [](const std::string& sub) { fs::rename(sub + "/Old.txt", sub + "/New.txt"); },
         {{"OLD.TXT", "Old.txt"}, {"NEW.TXT", "NEW.TXT"}},
         {{"OLD.TXT", "OLD.TXT"}, {"NEW.TXT", "New.txt"}},
         Stamp::this_second,
         true},
        {"several variants, nothing changed",
         {"dup.txt", "DUP.txt", "Dup.txt"},
         nullptr,
         {{"dUP.txt", "DUP.txt"}, {"Dup.txt", "Dup.txt"}},
         {{"dUP.txt", "DUP.txt"}, {"Dup.txt", "Dup.txt"}}},
        {"the first of two variants deleted by another process",
         {"dup.txt", "DUP.txt"},
         other("rm DUP.txt"),
         {{"Dup.txt", "DUP.txt"}, {"dup.txt", "dup.txt"}},
         {{"Dup.txt", "dup.txt"}, {"DUP.txt", "dup.txt"}}},
        {"a short name looked up, renamed, then a long one listed",
         {"x.t", "Long name.txt"},
         other("mv x.t X.T && touch y.t"),
         {{"X.t", "x.t"}},
         {{"x.T", "X.T"}, {"LONG NAME.TXT", "Long name.txt"}, {"Y.T", "y.t"}, {"x.T", "X.T"}}},
        {"the folder replaced by another",
         {"Old.txt"},
         [](const std::string& sub) {
             ASSERT_EQ(std::system(("mv '" + sub + "' '" + sub + ".was' && mkdir '" + sub +
                                    "' && touch '" + sub + "/Fresh.txt'")
                                       .c_str()),
                       0);
         },
         {{"OLD.TXT", "Old.txt"}, {"FRESH.TXT", "FRESH.TXT"}},
         {{"OLD.TXT", "OLD.TXT"}, {"FRESH.TXT", "Fresh.txt"}}},
    };
    using Clock = fs::file_time_type::clock;
    int n = 0;
    for (const bool watching : {true, false})
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.what) + (watching ? ", watched" : ", kept by time"));
            listing::set_watching(watching);
            const std::string sub = host("Kept" + std::to_string(++n));
            fs::create_directory(sub);
            for (const auto& f : row.files)
                tmp.write(fs::path(sub).filename().string() + "/" + f, "");
            // A time ahead is put far enough that a slow machine cannot settle it; the whole
            // second far enough back that the look-up comes well after it.
            fs::file_time_type when;
            switch (row.stamp) {
                case Stamp::settled:
                    when = Clock::now() - std::chrono::seconds(3600);
                    break;
                case Stamp::ahead:
                    when = Clock::now() + std::chrono::seconds(2);
                    break;
                case Stamp::this_second:
                    when = std::chrono::floor<std::chrono::seconds>(Clock::now() -
                                                                    std::chrono::milliseconds(100));
                    break;
            }
            fs::last_write_time(sub, when);
            auto look = [&](const Lookups& lookups) {
                for (const auto& [asked, found] : lookups)
                    EXPECT_EQ(fsys.host_path(sub + "/" + asked), sub + "/" + found) << asked;
            };
            look(row.before);
            if (row.change)
                row.change(sub);
            if (row.time_kept)
                fs::last_write_time(sub, when);
            look(row.after);
        }
    listing::set_watching(true);
}

TEST_F(HostFileSystemTest, ExistingHostPathsMapToTheirCleanForm) {
    tmp.write("Sub/f.txt", "");
    const std::string r = tmp.str();
    const std::pair<std::string, std::string> rows[] = {
        {r + "/Sub/f.txt", r + "/Sub/f.txt"},
        {r + "/Sub/./f.txt", r + "/Sub/f.txt"},
        {r + "//Sub/f.txt", r + "/Sub/f.txt"},
        {r + "/Sub/f.txt/", r + "/Sub/f.txt"},
        {r + "/x/../Sub/f.txt", r + "/Sub/f.txt"},
        {r + "/SUB/F.TXT", r + "/Sub/f.txt"},
        {r + "/Sub", r + "/Sub"},
    };
    for (const auto& [given, expected] : rows)
        EXPECT_EQ(fsys.host_path(given), expected) << given;
}

TEST_F(HostFileSystemTest, ProgramPathsAreAbsoluteWithHostSeparatorsAndRoundTrip) {
    tmp.write("d/f.txt", "");
    EXPECT_EQ(fsys.program_path("/a//b/"), "/a/b");
    EXPECT_EQ(fsys.program_path("/a\\b"), "/a/b");
    EXPECT_EQ(fsys.program_path("/"), "/");
    const std::string expected = fsys.program_path(tmp.str()) + "/d/f.txt";
    EXPECT_EQ(fsys.program_path("x/../d/./f.txt"), expected);
    EXPECT_EQ(fsys.host_path(expected), host("d/f.txt"));
    EXPECT_EQ(fsys.current_dir(), fsys.program_path(tmp.str()));
}

TEST_F(HostFileSystemTest, ReadReportsMissingAsNotFoundAndOtherFailuresAsAccess) {
    tmp.write("dir/f.txt", "x");
    EXPECT_EQ(error_number([&] { fsys.read_file("nothing.txt"); }), err::file_not_found);
    EXPECT_EQ(error_number([&] { fsys.read_file("nodir\\f.txt"); }), err::file_not_found);
    EXPECT_EQ(error_number([&] { fsys.read_file(""); }), err::file_not_found);
    EXPECT_EQ(error_number([&] { fsys.read_file("dir"); }), err::path_access);
    EXPECT_EQ(error_number([&] { fsys.write_file("dir", "x"); }), err::path_access);
    EXPECT_EQ(error_number([&] { fsys.write_file("nodir\\f.txt", "x"); }), err::path_access);
}

TEST_F(HostFileSystemTest, AtomicWriteReplacesTheTargetKeepingItsPermissions) {
    tmp.write("run.opt", "old");
    fs::permissions(host("run.opt"), fs::perms(0640));
    fsys.write_file_atomic("RUN.OPT", std::string("new\0bytes", 9));
    EXPECT_EQ(tmp.read("run.opt"), std::string("new\0bytes", 9));
    EXPECT_EQ(fs::status(host("run.opt")).permissions(), fs::perms(0640));
    EXPECT_EQ(dir_names(), Names{"run.opt"});  // no temporary left behind
}

TEST_F(HostFileSystemTest, FailedAtomicWriteLeavesEverythingAsItWas) {
    tmp.write("busy/inside.txt", "keep");
    for (const char* target : {"busy", "missing\\run.opt"}) {
        EXPECT_EQ(error_number([&] { fsys.write_file_atomic(target, "x"); }), err::path_access);
        EXPECT_EQ(dir_names(), Names{"busy"}) << target;
        EXPECT_EQ(tmp.read("busy/inside.txt"), "keep");
    }
}

TEST_F(HostFileSystemTest, ReplaceRemoveAndFacts) {
    tmp.write("a.tmp", "fresh");
    tmp.write("a.opt", "stale!");
    fsys.replace("A.TMP", "A.OPT");
    EXPECT_EQ(dir_names(), Names{"a.opt"});
    EXPECT_EQ(tmp.read("a.opt"), "fresh");
    EXPECT_EQ(error_number([&] { fsys.replace("a.tmp", "b"); }), err::path_access);

    auto f = fsys.facts("a.opt");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size, 5u);
    EXPECT_FALSE(f->is_dir);
    struct stat st {};
    ASSERT_EQ(::stat(host("a.opt").c_str(), &st), 0);
    EXPECT_EQ(f->mtime, st.st_mtime);
    EXPECT_TRUE(fsys.facts(win(""))->is_dir);
    EXPECT_FALSE(fsys.facts("gone"));

    EXPECT_TRUE(fsys.remove("A.opt"));
    EXPECT_FALSE(fsys.remove("a.opt"));
}

// Facts and reads of host paths as given: a link is followed to what it names, a name that
// exists only in another letter case is the file of that name, a dangling link is no file.
TEST_F(HostFileSystemTest, FactsAndReadsOfHostPathsFollowLinksAndCase) {
    tmp.write("data/a.txt", "twelve bytes");
    fs::create_directory(host("dir"));
    fs::create_symlink(host("data/a.txt"), host("to-file"));
    fs::create_symlink(host("dir"), host("to-dir"));
    fs::create_symlink(host("nothing"), host("dangling"));
    const struct {
        const char* rel;
        bool exists, is_dir;
        int read_error;  // 0: reads "twelve bytes"
    } rows[] = {
        {"data/a.txt", true, false, 0},
        {"DATA/A.TXT", true, false, 0},
        {"to-file", true, false, 0},
        {"to-dir", true, true, err::path_access},
        {"dir", true, true, err::path_access},
        {"dangling", false, false, err::file_not_found},
        {"data/none.txt", false, false, err::file_not_found},
        {"data/../DATA/a.txt", true, false, 0},
        {"none/a.txt", false, false, err::file_not_found},
    };
    for (const auto& row : rows) {
        const auto f = fsys.facts(host(row.rel));
        EXPECT_EQ(f.has_value(), row.exists) << row.rel;
        if (f) {
            EXPECT_EQ(f->is_dir, row.is_dir) << row.rel;
            if (!row.is_dir) {
                EXPECT_EQ(f->size, 12u) << row.rel;
            }
        }
        // The one look-up gives what the mapping and then the facts of what it maps to give.
        std::string mapped;
        const auto both = fsys.host_facts(host(row.rel), mapped);
        EXPECT_EQ(mapped, fsys.host_path(host(row.rel))) << row.rel;
        EXPECT_EQ(both.has_value(), row.exists) << row.rel;
        if (both && f) {
            EXPECT_EQ(both->is_dir, f->is_dir) << row.rel;
            EXPECT_EQ(both->size, f->size) << row.rel;
            EXPECT_EQ(both->mtime_ns, f->mtime_ns) << row.rel;
        }
        std::string text;
        EXPECT_EQ(error_number([&] { text = fsys.read_file(host(row.rel)); }), row.read_error)
            << row.rel;
        if (row.read_error == 0) {
            EXPECT_EQ(text, "twelve bytes") << row.rel;
        }
    }
}

TEST_F(HostFileSystemTest, ListMatchesWildcardsWithoutRegardToCase) {
    for (const char* f : {"a.txt", "B.TXT", "c.dat", "noext", "Docs/inner.txt", "Docs2/x"}) {
        tmp.write(f, "");
    }
    struct Row {
        std::string pattern;
        int attributes;
        Names expected;
    };
    const Row rows[] = {
        {"*.*", attr_normal, {"a.txt", "B.TXT", "c.dat", "noext"}},
        {win("*.TXT"), attr_normal, {"a.txt", "B.TXT"}},
        {"?.d?t", attr_normal, {"c.dat"}},
        {"NOEXT.*", attr_normal, {"noext"}},
        {"C:*", attr_directory, {"a.txt", "B.TXT", "c.dat", "Docs", "Docs2", "noext"}},
        {"doc*", attr_directory, {"Docs", "Docs2"}},
        {"doc*", attr_normal, {}},
        {win("DOCS"), attr_directory, {"Docs"}},
        {win("DOCS"), attr_normal, {}},
        {"A.TXT", attr_normal, {"a.txt"}},
        {"docs\\*.*", attr_normal, {"inner.txt"}},
        {"docs/", attr_normal, {"inner.txt"}},
        {"missing\\*.*", attr_directory, {}},
        {"missing", attr_directory, {}},
        {"", attr_directory, {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(fsys.list(row.pattern, row.attributes), row.expected) << row.pattern;
    }
}

TEST_F(HostFileSystemTest, SetCurrentDirUsesTheMappedPath) {
    fs::create_directories(tmp.path() / "Work");
    fsys.set_current_dir(win("WORK"));
    EXPECT_EQ(fs::current_path(), tmp.path() / "Work");
    EXPECT_EQ(error_number([&] { fsys.set_current_dir("nowhere"); }), err::path_not_found);
}

// A file system with a current directory of its own moves, maps and fails as the process's
// current directory does, leaving that one where it is: into a link (named as getcwd names it),
// into a directory then renamed or removed, into what is no directory.
TEST_F(HostFileSystemTest, APrivateCurrentDirBehavesAsTheProcesssDoes) {
    auto observe = [&](HostFileSystem& f, const std::string& enter, const char* then) {
        fs::remove_all(host("Renamed"));
        fs::remove(host("Link"));
        for (const char* dir : {"Real/Deep", "Old", "Gone"})
            fs::create_directories(host(dir));
        fs::create_directory_symlink(host("Real/Deep"), host("Link"));
        tmp.write("a.txt", "");
        std::string seen = std::to_string(error_number([&] { f.set_current_dir(enter); }));
        *then ? fs::rename(host(enter), host(then)) : (void)fs::remove(host("Gone"));
        for (const char* rel : {"", "..\\up.txt", "c:x.txt"})
            seen += " " + std::to_string(error_number(
                              [&] { seen += " " + (*rel ? f.host_path(rel) : f.current_dir()); }));
        return seen;
    };
    for (const auto& [enter, then] : {std::pair{"LINK", ""},
                                      {"Old", "Renamed"},
                                      {"GONE", ""},
                                      {"missing", ""},
                                      {"a.txt", ""}}) {
        HostFileSystem process, own;
        const std::string expected = observe(process, enter, then);
        fs::current_path(tmp.path());
        own.use_private_current_dir();
        EXPECT_EQ(observe(own, enter, then), expected) << enter;
        EXPECT_EQ(fs::current_path(), tmp.path());
    }
}

// Two threads with file systems of their own current directory write, read, list and map
// relative paths at once (TMPDIR relative too): each sees its own folder only.
TEST_F(HostFileSystemTest, PrivateCurrentDirsOfTwoThreadsStayApart) {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", "Scratch", 1);
    std::string failed[2];
    auto work = [&](int t, std::string me) {
        fs::create_directories(host(me + "/Scratch"));
        HostFileSystem f;
        f.use_private_current_dir();
        f.set_current_dir(win(me));
        for (int i = 0; i < 50 && failed[t].empty(); ++i) {
            const std::string text = me + std::to_string(i);
            f.write_file("mine.txt", text);
            f.write_file_atomic("saved.txt", text);
            if (f.read_file("MINE.TXT") != text || f.read_file(".\\saved.txt") != text ||
                f.host_path("x\\..\\y") != host(me + "/y") || f.current_dir() != host(me) ||
                f.list("*.TXT", attr_normal) != Names{"mine.txt", "saved.txt"} ||
                fs::path(f.temp_file()).parent_path() != host(me + "/Scratch"))
                failed[t] = text;
        }
    };
    std::thread a(work, 0, "One"), b(work, 1, "Two");
    a.join();
    b.join();
    old ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
    EXPECT_EQ(failed[0] + failed[1], "");
    EXPECT_EQ(fs::current_path(), tmp.path());
    EXPECT_EQ(dir_names(), (Names{"One", "Two"}));
}

TEST_F(HostFileSystemTest, TempFileReservesAUniqueNameInTmpdir) {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", tmp.str().c_str(), 1);
    const std::string a = fsys.temp_file(), b = fsys.temp_file();
    old ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");

    EXPECT_NE(a, b);
    for (const auto& p : {a, b}) {
        const std::string name = p.substr(p.rfind('/') + 1);
        const std::string digits = name.substr(2, name.size() - 6);
        EXPECT_EQ(p[0], '/');
        EXPECT_TRUE(name.starts_with("QV") && name.ends_with(".tmp")) << p;
        EXPECT_TRUE(digits.size() >= 4 && digits.size() <= 6 &&
                    digits.find_first_not_of("0123456789ABCDEF") == digits.npos)
            << p;
        EXPECT_EQ(fsys.facts(p)->size, 0u);
        EXPECT_EQ(fs::path(fsys.host_path(p)).parent_path(), tmp.path());
    }
}

TEST_F(HostFileSystemTest, LineFileFlushesEachLineAndTruncates) {
    tmp.write("region.txt", "previous run\r\n");
    auto sink = fsys.create_line_file("REGION.TXT");
    EXPECT_EQ(tmp.read("region.txt"), "");
    sink->write_line("one");
    EXPECT_EQ(tmp.read("region.txt"), "one\r\n");
    sink->write_line("");
    sink->write_line("three");
    EXPECT_EQ(tmp.read("region.txt"), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(error_number([&] { fsys.create_line_file("nodir\\x.txt"); }), err::path_access);
}

}  // namespace
}  // namespace qv
