#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/app_error.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "platform/reference/stdio_capture.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using reference::StdioCapture;

const std::string demo_db = QV_BINARY_DIR "/examples/demo/model/reports/reports.mdb";
const std::string nwind = QV_SHARED_DIR "/testdata/access/nwind.mdb";
const std::string jet3_db = QV_SHARED_DIR "/testdata/access/DateTestDatabase.mdb";

const std::string clark_query =
    "SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=\"32003\");";

// The checks come after the captures end: a failure printed inside one would be caught too.
TEST(StdioCaptureTest, CatchesWhatALibraryPrintsAndGivesTheStreamsBack) {
    std::string all, cut, again, outside;
    {
        StdioCapture outer;
        std::printf("before ");
        {
            StdioCapture inner;
            std::fprintf(stderr, "stderr ");
            write(1, "write ", 6);
            std::printf("printf ");
            std::fputs("puts ", stdout);
            all = inner.take();
            std::printf("%s", std::string(10000, 'x').c_str());
            cut = inner.take(100);
            again = inner.take();
        }
        std::printf("after");
        outside = outer.take();
    }
    EXPECT_EQ(all, "stderr write printf puts ");
    EXPECT_EQ(cut, std::string(100, 'x'));
    EXPECT_EQ(again, "");  // each take starts afresh
    EXPECT_EQ(outside, "before after");
}

TEST(StdioCaptureTest, CapturesOnSeveralThreadsEachSeeOnlyTheirOwnText) {
    std::vector<std::string> wrong(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < wrong.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                StdioCapture capture;
                std::fprintf(stderr, "round %d ", round);
                std::printf("thread %zu;", t);
                std::string text = capture.take();
                if (text != "round " + std::to_string(round) + " thread " + std::to_string(t) + ";")
                    wrong[t] = text;
            }
        });
    for (auto& t : threads)
        t.join();
    for (const std::string& text : wrong)
        EXPECT_EQ(text, "");
}

TEST(StdioCaptureTest, FirstLineSkipsBlankLinesAndTrims) {
    struct Case {
        std::string text, line;
    };
    for (const Case& c : std::vector<Case>{{"", ""},
                                           {"\n  \n", ""},
                                           {"one", "one"},
                                           {"\n \t\n  two words \r\nthree\n", "two words"}})
        EXPECT_EQ(reference::first_line(c.text), c.line) << c.text;
}

// Returns the AppError of `f`, with number 0 when it throws nothing.
template <typename F>
AppError error_of(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, "");
}

std::string with_page(std::string bytes, std::size_t page_size, std::size_t page,
                      const std::string& content) {
    bytes.replace(page * page_size, page_size, content);
    return bytes;
}

// Reads the file with plain SQLite, without any check: what a damaged copy really holds.
int raw_count(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

class DamagedSqliteTest : public ::testing::Test {
  protected:
    static constexpr std::size_t page = 4096;
    void SetUp() override {
        ASSERT_TRUE(fs::exists(demo_db)) << "the build writes " << demo_db;
        bytes = test::read_file(demo_db);
    }
    test::TempDir dir;
    std::string bytes;
    SqliteReferenceEngine engine;
};

TEST_F(DamagedSqliteTest, AZeroedPageIsAnOpenErrorWithTheChecksFirstLine) {
    std::string path = dir.write("zero.mdb", with_page(bytes, page, 4, std::string(page, '\0')));
    AppError e = error_of([&] { engine.open(path); });
    EXPECT_EQ(e.number(), err::db_unrecognised);
    // The check's first finding, without the line that only names the schema checked.
    EXPECT_TRUE(
        e.description().starts_with("Unrecognized database format '" + path + "' (Page 5: "))
        << e.description();
    EXPECT_EQ(e.description().find('\n'), std::string::npos) << e.description();
    EXPECT_FALSE(engine.is_open());
}

TEST_F(DamagedSqliteTest, ADuplicatedPageThatLosesARowIsAnOpenError) {
    std::string path =
        dir.write("dup.mdb", with_page(bytes, page, 14, bytes.substr(2 * page, page)));
    ASSERT_EQ(raw_count(path, "SELECT count(*) FROM Counties WHERE FIPS = '32003'"), 0)
        << "the damage no longer hides the row";
    AppError e = error_of([&] { engine.open(path); });
    EXPECT_EQ(e.number(), err::db_unrecognised);
    EXPECT_NE(e.description().find("2nd reference to page"), std::string::npos) << e.description();
}

TEST_F(DamagedSqliteTest, AHeaderThatForbidsWritingStillReadsRight) {
    // Byte 18 is the version needed to write the file: a file this SQLite may not write.
    bytes[18] = 3;
    engine.open(dir.write("newer.mdb", bytes));
    QueryResult r = engine.query(clark_query);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.field(0, "COUNTY"), "Clark County");
}

class DamagedAccessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(nwind))
            GTEST_SKIP() << "missing " << nwind;
        bytes = test::read_file(nwind);
    }
    std::int64_t rows_of(const std::string& table) {
        for (const auto& t : engine.tables())
            if (t.name == table)
                return t.rows.value_or(-1);
        return -2;
    }
    test::TempDir dir;
    std::string bytes;
    SqliteReferenceEngine engine;
};

TEST_F(DamagedAccessTest, ATableWithUnreadableRowsIsDamagedAndTheOthersStayUsable) {
    struct Case {
        const char* what;
        std::string file;
        std::string table;
        std::string why;
    };
    std::string flipped = bytes;
    flipped[1556511] = static_cast<char>(flipped[1556511] ^ 1);
    for (const Case& c : std::vector<Case>{
             // The library warns that it skips two pages and reads 797 of the 830 orders.
             {"zeroed page", with_page(bytes, 4096, 261, std::string(4096, '\0')), "Orders",
              "797 of 830 rows can be read; warning: page 522 from map doesn't match: Type=0, "
              "buf[4..7]=0 Expected table_pg=449"},
             // Here it loses a row without a word.
             {"flipped bit", flipped, "Umsätze", "829 of 830 rows can be read"},
         }) {
        SCOPED_TRACE(c.what);
        std::string path = dir.write("damaged.mdb", c.file);
        engine.open(path);
        auto listed = engine.tables();
        auto it = std::find_if(listed.begin(), listed.end(),
                               [&](const auto& t) { return t.name == c.table; });
        ASSERT_NE(it, listed.end());
        EXPECT_FALSE(it->rows);
        EXPECT_EQ(it->damage, c.why);

        AppError e = error_of([&] { engine.query("SELECT * FROM [" + c.table + "]"); });
        EXPECT_EQ(e.number(), err::db_unrecognised);
        EXPECT_EQ(e.description(),
                  "The table '" + c.table + "' of '" + path + "' is damaged (" + c.why + ").");
        EXPECT_EQ(error_of([&] { engine.save_as_sqlite(dir.str() + "/copy.sqlite"); }).number(),
                  err::db_unrecognised);
        EXPECT_FALSE(fs::exists(dir.str() + "/copy.sqlite"));

        EXPECT_EQ(rows_of("Order Details"), 2155);
        EXPECT_EQ(engine.query("SELECT CompanyName FROM Shippers").rows.size(), 3u);
        engine.close();
    }
}

// ---------------------------------------------------------------------------------------------
// The damaged-file corpus: every copy of a sound database, cut short, with bits flipped or with
// a page zeroed, either opens with the right rows or fails with a clear error, and never prints.
// Neither format keeps checksums, so what damage inside a stored value changes cannot be seen:
// a copy may differ from the original in as many rows as it has flipped bits, and in the long
// (OLE) values that Access keeps on pages of their own; never in its tables or row counts, and
// a cut-short copy never at all.

struct Variant {
    std::string kind;
    std::string label;
    std::string bytes;
    std::size_t flips = 0;
};

// Hands each damaged copy to `check` in turn, so that only one is held at a time.
void for_each_damaged_copy(const std::string& bytes, std::size_t page, std::size_t zeroed,
                           std::size_t flipped, unsigned seed,
                           const std::function<void(const Variant&)>& check) {
    std::mt19937 rng(seed);
    const std::size_t size = bytes.size(), pages = size / page;
    for (std::size_t sixty_fourths : {0, 1, 4, 8, 16, 21, 32, 43, 48, 56, 60, 63}) {
        std::size_t at = size * sixty_fourths / 64 / page * page;
        check({"truncated", "at " + std::to_string(at), bytes.substr(0, at)});
        std::size_t odd = std::min(size - 1, at + 1 + rng() % (page - 1));
        check({"truncated", "at " + std::to_string(odd), bytes.substr(0, odd)});
    }
    for (std::size_t i = 0; i < std::min(zeroed, pages); ++i) {
        // Spread over the whole file, the first pages (header, catalog) always among them.
        std::size_t p = pages <= zeroed ? i
                        : i < 3         ? i
                                        : i * pages / zeroed + rng() % (pages / zeroed);
        check({"zeroed page", "page " + std::to_string(p),
               with_page(bytes, page, p, std::string(page, '\0'))});
    }
    for (std::size_t i = 0; i < flipped; ++i) {
        Variant v{"flipped bits", "", bytes, 1 + rng() % 3};
        for (std::size_t f = 0; f < v.flips; ++f) {
            std::size_t at = rng() % size;
            unsigned bit = rng() % 8;
            v.bytes[at] = static_cast<char>(v.bytes[at] ^ (1 << bit));
            v.label += std::to_string(at) + "." + std::to_string(bit) + " ";
        }
        check(v);
    }
}

struct Table {
    std::string name;
    std::vector<bool> long_value;  // OLE columns, kept on pages of their own
    std::multiset<std::string> rows, short_rows;
};

// A table's rows as comparable lines, NULL told apart from an empty text; without the long
// values when `short_only`.
std::multiset<std::string> row_lines(const QueryResult& r, const std::vector<bool>& long_value,
                                     bool short_only) {
    std::multiset<std::string> lines;
    for (const auto& row : r.rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
            if (!short_only || !long_value[i])
                line += (row[i] ? "=" + *row[i] : "<null>") + '\x1f';
        lines.insert(line);
    }
    return lines;
}

std::size_t lost_rows(const std::multiset<std::string>& want,
                      const std::multiset<std::string>& got) {
    std::vector<std::string> lost;
    std::set_difference(want.begin(), want.end(), got.begin(), got.end(), std::back_inserter(lost));
    return lost.size();
}

// Every table of the sound file; the column kinds come from a plain SQLite copy of it.
std::vector<Table> read_all(SqliteReferenceEngine& engine, const std::string& copy) {
    engine.save_as_sqlite(copy);
    sqlite3* db = nullptr;
    sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* kinds = nullptr;
    sqlite3_prepare_v2(db, "SELECT type = 'BLOB' FROM pragma_table_info(?1) ORDER BY cid", -1,
                       &kinds, nullptr);
    std::vector<Table> tables;
    for (const auto& t : engine.tables()) {
        Table table{t.name, {}, {}, {}};
        sqlite3_bind_text(kinds, 1, t.name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(kinds) == SQLITE_ROW)
            table.long_value.push_back(sqlite3_column_int(kinds, 0) != 0);
        sqlite3_reset(kinds);
        QueryResult r = engine.query("SELECT * FROM [" + t.name + "]");
        table.rows = row_lines(r, table.long_value, false);
        table.short_rows = row_lines(r, table.long_value, true);
        tables.push_back(std::move(table));
    }
    sqlite3_finalize(kinds);
    sqlite3_close(db);
    return tables;
}

// Opens a damaged copy and holds every table against the sound original. Returns the outcome;
// `problem` says what is wrong with it, if anything. It asserts nothing itself, since it runs
// while the standard streams are captured.
std::string open_and_compare(const std::string& path, const std::vector<Table>& expected,
                             const Variant& v, std::string& problem) {
    SqliteReferenceEngine engine;
    try {
        engine.open(path);
    } catch (const AppError& e) {
        if (e.number() != err::db_unrecognised && e.number() != err::db_locked)
            problem = "unexpected error " + std::to_string(e.number());
        if (e.description().find(path) == std::string::npos)
            problem += "; the error does not name the file: " + e.description();
        return "open error";
    }
    auto listed = engine.tables();
    if (listed.size() != expected.size())
        return problem = "a table went missing";
    std::size_t changed = 0, long_changed = 0, damaged = 0;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const Table& want = expected[i];
        if (listed[i].name != want.name)
            return problem = "table " + listed[i].name + " instead of " + want.name;
        std::string select = "SELECT * FROM [" + want.name + "]";
        if (!listed[i].rows) {
            ++damaged;
            AppError e = error_of([&] { engine.query(select); });
            if (e.number() != err::db_unrecognised ||
                e.description().find("'" + want.name + "'") == std::string::npos)
                problem += "a damaged table gives " + e.description();
            continue;
        }
        QueryResult r = engine.query(select);
        if (*listed[i].rows != static_cast<std::int64_t>(want.rows.size()) ||
            r.rows.size() != want.rows.size())
            return problem = want.name + " has " + std::to_string(*listed[i].rows) + " rows, " +
                             std::to_string(r.rows.size()) + " read, instead of " +
                             std::to_string(want.rows.size());
        std::size_t lost = lost_rows(want.short_rows, row_lines(r, want.long_value, true));
        changed += lost;
        long_changed += lost_rows(want.rows, row_lines(r, want.long_value, false)) - lost;
    }
    if (changed > v.flips)
        problem = std::to_string(changed) + " rows differ from the original";
    if (long_changed && v.kind == "truncated")
        problem = std::to_string(long_changed) + " long values differ from the original";
    return damaged        ? "a table damaged"
           : changed      ? "values changed"
           : long_changed ? "long values changed"
                          : "same rows";
}

struct CorpusSource {
    const char* name;
    std::string path;
    std::size_t page;
    std::size_t zeroed, flipped;
    unsigned seed;
};

class DamagedCorpusTest : public ::testing::TestWithParam<CorpusSource> {};

TEST_P(DamagedCorpusTest, EveryCopyGivesTheRightRowsOrAClearError) {
    const CorpusSource& src = GetParam();
    if (!fs::exists(src.path))
        GTEST_SKIP() << "missing " << src.path;
    test::TempDir dir;
    SqliteReferenceEngine sound;
    sound.open(src.path);
    const std::vector<Table> expected = read_all(sound, dir.str() + "/sound.sqlite");
    sound.close();

    std::map<std::string, std::map<std::string, int>> outcomes;
    auto check = [&](const Variant& v) {
        SCOPED_TRACE(v.kind + " " + v.label);
        std::string path = dir.write("copy.mdb", v.bytes);
        std::string problem, printed;
        std::string outcome;
        {
            StdioCapture streams;
            outcome = open_and_compare(path, expected, v, problem);
            printed = streams.take();
        }
        EXPECT_EQ(problem, "");
        EXPECT_EQ(printed, "") << "the library printed";
        ++outcomes[v.kind][outcome];
    };
    for_each_damaged_copy(test::read_file(src.path), src.page, src.zeroed, src.flipped, src.seed,
                          check);
    std::string summary = std::string(src.name) + ":";
    for (const auto& [kind, counts] : outcomes) {
        summary += "\n  " + kind + ":";
        for (const auto& [outcome, n] : counts)
            summary += " " + outcome + " " + std::to_string(n) + ",";
    }
    std::cout << summary << std::endl;
    RecordProperty("outcomes", summary);
}

INSTANTIATE_TEST_SUITE_P(Sources, DamagedCorpusTest,
                         ::testing::Values(CorpusSource{"sqlite", demo_db, 4096, 30, 140, 1},
                                           CorpusSource{"access97", jet3_db, 2048, 40, 80, 2},
                                           CorpusSource{"access2000", nwind, 4096, 40, 60, 3}),
                         [](const auto& source) { return std::string(source.param.name); });

}  // namespace
}  // namespace qv
