#include <gtest/gtest.h>
#include <sys/wait.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

#include "cli/refdb_command.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

const std::string demo_db = QV_BINARY_DIR "/examples/demo/model/reports/reports.mdb";
const std::string nwind = QV_SHARED_DIR "/testdata/access/nwind.mdb";

struct RefdbRun {
    int status;
    std::string out, err;
};

RefdbRun refdb(const std::string& db, bool tables, std::optional<std::string> query,
               std::optional<std::string> copy) {
    std::ostringstream out, err;
    int status = run_refdb(db, tables, query, copy, out, err);
    return {status, out.str(), err.str()};
}

TEST(RefdbCommandTest, ListsTablesWithRowCounts) {
    RefdbRun r = refdb(demo_db, true, std::nullopt, std::nullopt);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Counties\t3288\nEquipment Types\t321\n");
}

TEST(RefdbCommandTest, PrintsRowsAsJsonInRowOrder) {
    RefdbRun r = refdb(
        demo_db, false,
        "SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties WHERE((Counties.FIPS like "
        "\"06###\") AND (Counties.COUNTY not like \"The State*\"));",
        std::nullopt);
    ASSERT_EQ(r.status, 0) << r.err;
    auto rows = nlohmann::ordered_json::parse(r.out);
    ASSERT_EQ(rows.size(), 58u);
    EXPECT_EQ(rows[0].dump(), R"({"COUNTY":"Alameda County","FIPS":"06001"})");
}

TEST(RefdbCommandTest, CopiesToSqliteAndTheCopyAnswersTheSame) {
    test::TempDir dir;
    std::string copy = dir.str() + "/copy.sqlite";
    ASSERT_EQ(refdb(demo_db, false, std::nullopt, copy).status, 0);
    EXPECT_EQ(refdb(copy, true, std::nullopt, std::nullopt).out,
              "Counties\t3288\nEquipment Types\t321\n");
}

TEST(RefdbCommandTest, FailuresGiveTheirStatusAndAMessage) {
    test::TempDir dir;
    struct Case {
        std::string db;
        bool tables;
        std::optional<std::string> query, copy;
        int status;
    };
    for (const Case& c : std::vector<Case>{
             {demo_db, false, std::nullopt, std::nullopt, 2},
             {demo_db, true, "SELECT * FROM Counties", std::nullopt, 2},
             {dir.str() + "/none.mdb", true, std::nullopt, std::nullopt, 4},
             {dir.write("bad.mdb", "not a database"), true, std::nullopt, std::nullopt, 4},
             {demo_db, false, "SELECT * FROM Nowhere", std::nullopt, 5},
             {demo_db, false, std::nullopt, dir.str() + "/missing/dir/copy.sqlite", 5},
         }) {
        RefdbRun r = refdb(c.db, c.tables, c.query, c.copy);
        EXPECT_EQ(r.status, c.status) << c.db;
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(r.out.empty());
        if (c.status >= 4) {
            EXPECT_NE(r.err.find("(error "), std::string::npos) << r.err;
        }
    }
}

std::string with_zeroed_page(std::string bytes, std::size_t page_size, std::size_t page) {
    bytes.replace(page * page_size, page_size, std::string(page_size, '\0'));
    return bytes;
}

TEST(RefdbCommandTest, ADamagedSqliteFileIsAnOpenErrorNotACountOfZero) {
    test::TempDir dir;
    std::string db = dir.write("reports.mdb", with_zeroed_page(test::read_file(demo_db), 4096, 4));
    RefdbRun r = refdb(db, true, std::nullopt, std::nullopt);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("(error 3343)"), std::string::npos) << r.err;
}

class DamagedAccessRefdbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(nwind))
            GTEST_SKIP() << "missing " << nwind;
        // The library skips two pages of Orders with a warning and reads 797 of its 830 rows.
        db = dir.write("reports.mdb", with_zeroed_page(test::read_file(nwind), 4096, 261));
    }
    test::TempDir dir;
    std::string db;
};

TEST_F(DamagedAccessRefdbTest, TheListingMarksTheTableAndEveryUseOfItFails) {
    RefdbRun list = refdb(db, true, std::nullopt, std::nullopt);
    EXPECT_EQ(list.status, 5);
    EXPECT_EQ(list.out,
              "Order Details\t2155\nOrders\tdamaged\nProducts\t77\nShippers\t3\nCategories\t8\n"
              "Customers\t91\nEmployees\t9\nSuppliers\t29\nUmsätze\t830\n");
    EXPECT_EQ(list.err,
              "qvopt refdb: the table 'Orders' is damaged (797 of 830 rows can be read; warning: "
              "page 522 from map doesn't match: Type=0, buf[4..7]=0 Expected table_pg=449)\n");

    RefdbRun query = refdb(db, false, "SELECT OrderID FROM Orders", std::nullopt);
    EXPECT_EQ(query.status, 5);
    EXPECT_EQ(query.out, "");
    EXPECT_NE(query.err.find("The table 'Orders' of '" + db + "' is damaged"), std::string::npos)
        << query.err;

    EXPECT_EQ(refdb(db, false, "SELECT * FROM Shippers", std::nullopt).status, 0);
    std::string copy = dir.str() + "/copy.sqlite";
    EXPECT_EQ(refdb(db, false, std::nullopt, copy).status, 5);
    EXPECT_FALSE(std::filesystem::exists(copy));
}

// The real program, so that what the library prints would reach the real descriptors.
RefdbRun qvopt_refdb(const test::TempDir& dir, const std::string& args) {
    std::string errors = dir.str() + "/stderr.txt";
    std::string command = QV_BINARY_DIR "/qvopt refdb " + args + " 2>'" + errors + "'";
    RefdbRun r{-1, "", ""};
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p))
        r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = test::read_file(errors);
    return r;
}

TEST_F(DamagedAccessRefdbTest, NothingButTheProgramsOwnTextReachesItsStreams) {
    // Here the library used to dump a damaged property list in hex onto stdout.
    std::string props = dir.write("props.mdb", with_zeroed_page(test::read_file(nwind), 4096, 367));
    RefdbRun json = qvopt_refdb(dir, "'" + props + "' 'SELECT ShipperID FROM Shippers'");
    EXPECT_EQ(json.status, 0) << json.err;
    auto rows = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(rows.is_discarded()) << json.out;
    EXPECT_EQ(rows.size(), 3u);

    // Here it warned on stderr while it silently dropped rows.
    RefdbRun list = qvopt_refdb(dir, "'" + db + "' --tables");
    EXPECT_EQ(list.status, 5);
    EXPECT_TRUE(std::regex_match(list.out, std::regex("([^\t\n]+\t([0-9]+|damaged)\n)+")))
        << list.out;
    std::istringstream errors(list.err);
    for (std::string line; std::getline(errors, line);)
        EXPECT_TRUE(line.starts_with("qvopt refdb: ")) << line;
}

}  // namespace
}  // namespace qv
