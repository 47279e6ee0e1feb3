#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "cli/refdb_command.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

const std::string demo_db = QV_BINARY_DIR "/examples/demo/model/reports/reports.mdb";

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

}  // namespace
}  // namespace qv
