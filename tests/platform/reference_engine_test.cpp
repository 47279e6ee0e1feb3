#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/app_error.h"
#include "platform/reference/access_sql.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

const std::string demo_db = QV_BINARY_DIR "/examples/demo/model/reports/reports.mdb";
const std::string nwind = QV_SHARED_DIR "/testdata/access/nwind.mdb";
const std::string jet3_db = QV_SHARED_DIR "/testdata/access/DateTestDatabase.mdb";

// Returns the AppError number of `f`, or 0 when it throws nothing.
template <typename F>
int error_number(F&& f, std::string* description = nullptr) {
    try {
        f();
    } catch (const AppError& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

std::vector<std::string> column(const QueryResult& r, const std::string& name) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < r.rows.size(); ++i)
        out.push_back(r.field(i, name).value_or("<null>"));
    return out;
}

// The query texts exactly as the program writes them, with the value quoted as it must be.
std::string region_query(const std::string& code) {
    return "SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=" +
           access_literal(code) + ");";
}
std::string source_query(const std::string& code) {
    return "SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment "
           "Types].[Engine Type], "
           "[Equipment Types].Classification FROM [Equipment Types] WHERE (SCC=" +
           access_literal(code) + ");";
}
std::string state_counties_query(const std::string& state) {
    return "SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties WHERE((Counties.FIPS "
           "like \"" +
           state + "###\") AND (Counties.COUNTY not like \"The State*\"));";
}
std::string sources_query(const std::vector<std::string>& patterns) {
    std::string q =
        "SELECT DISTINCTROW SCC,EQUIP,CLASSIFICATION,[Engine Type] from [EQUIPMENT TYPES] WHERE "
        "SCC LIKE \"";
    for (std::size_t i = 0; i < patterns.size(); ++i)
        q += (i ? "\" OR SCC LIKE \"" : "") + patterns[i];
    return q + "\";";
}
const std::string marine_head =
    "Select DISTINCTROW [Equipment Types].SCC,[Equipment Types].EQUIP,[Equipment "
    "Types].CLASSIFICATION,"
    "[Equipment Types].[Engine Type] FROM [Equipment Types] WHERE ";
const std::string marine_si =
    "(([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> \"2282000000\" And "
    "[Equipment Types].SCC <> \"2282020000\" And [Equipment Types].[Engine Type] <> \"Diesel\"));";

class DemoDatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(demo_db)) << "the build writes " << demo_db;
        engine.open(demo_db);
    }
    SqliteReferenceEngine engine;
};

TEST_F(DemoDatabaseTest, RegionValidationFindsCountiesAndWholeStates) {
    struct Case {
        std::string code, county;
    };
    for (const Case& c : std::vector<Case>{{"06037", "Los Angeles County"},
                                           {"06000", "The State of California"},
                                           {"11000", "The State of Washington DC"},
                                           {"72000", "The State of Puerto Rico"},
                                           {"99999", ""},
                                           {"0603", ""},
                                           {"", ""}}) {
        QueryResult r = engine.query(region_query(c.code));
        if (c.county.empty()) {
            EXPECT_TRUE(r.empty()) << c.code;
        } else {
            ASSERT_EQ(r.rows.size(), 1u) << c.code;
            EXPECT_EQ(r.field(0, "county"), c.county);  // read in another letter case
        }
    }
}

TEST_F(DemoDatabaseTest, EveryStateOfTheProgramHasAWholeStateRow) {
    QueryResult all =
        engine.query("SELECT FIPS, COUNTY FROM Counties WHERE COUNTY LIKE \"The State*\"");
    EXPECT_EQ(all.rows.size(), 53u);
    for (const std::string& code : column(all, "FIPS"))
        EXPECT_TRUE(code.ends_with("000")) << code;
}

TEST_F(DemoDatabaseTest, SourceReaderQueryGivesTheFourFields) {
    QueryResult r = engine.query(source_query("2270002036"));
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.field(0, "SCC"), "2270002036");
    EXPECT_EQ(r.field(0, "EQUIP"), "Excavators");
    EXPECT_EQ(r.field(0, "CLASSIFICATION"), "Construction and Mining");
    EXPECT_EQ(r.field(0, "Engine Type"), "Diesel");
    EXPECT_TRUE(engine.query(source_query("2270002037")).empty());
    EXPECT_TRUE(
        engine.query(source_query("2270002036 ")).empty());  // trailing text stays part of the code
}

TEST_F(DemoDatabaseTest, CountyListOfAStateLeavesOutTheStateRowInTableOrder) {
    QueryResult r = engine.query(state_counties_query("06"));
    std::vector<std::string> fips = column(r, "fips");
    ASSERT_EQ(fips.size(), 58u);
    EXPECT_EQ(r.field(0, "COUNTY"), "Alameda County");
    EXPECT_TRUE(std::is_sorted(fips.begin(), fips.end()));  // the source lists them in code order
    for (const std::string& name : column(r, "county"))
        EXPECT_FALSE(name.starts_with("The State")) << name;
    EXPECT_TRUE(engine.query(state_counties_query("98")).empty());
}

TEST_F(DemoDatabaseTest, SourcesDialogPatterns) {
    struct Case {
        const char* what;
        std::vector<std::string> patterns;
        std::vector<std::string> expected;  // in table order
    };
    const std::vector<Case> cases = {
        {"all segments, all fuels, add segment",
         {"##[!8]##00000", "2285000000", "2282000000"},
         {"2260000000", "2265000000", "2267000000", "2268000000", "2270000000", "2282000000",
          "2285000000"}},
        {"construction, diesel, add segment", {"##7##02000"}, {"2270002000"}},
        {"construction, spark ignition, add segment",
         {"##[!7-8]##02000"},
         {"2260002000", "2265002000", "2267002000", "2268002000"}},
        {"railway, diesel", {"2285002015"}, {"2285002015"}},
        {"railway, spark ignition", {"228500[3-8]015"}, {"2285004015", "2285006015", "2285008015"}},
        {"marine, diesel", {"2282020000"}, {"2282020000"}},
        {"marine, spark ignition, add segment",
         {"22820[0-1][0-5]0##"},
         {"2282000000", "2282005010", "2282005015", "2282010005", "2282010010", "2282010015"}},
        {"oil field, all fuels, add equipment",
         {"##[!8]##1####"},
         {"2260010000", "2260010010", "2265010000", "2265010010", "2267010000", "2267010010",
          "2268010000", "2268010010", "2270010000", "2270010010"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(column(engine.query(sources_query(c.patterns)), "SCC"), c.expected) << c.what;
    }
    QueryResult construction = engine.query(sources_query({"##7##02###"}));
    EXPECT_EQ(construction.rows.size(), 26u);  // the total and 25 kinds of equipment
}

TEST_F(DemoDatabaseTest, MarineQueries) {
    struct Case {
        std::string condition;
        std::size_t rows;
    };
    const std::string like_not_totals =
        "(([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> \"2282000000\" "
        "And "
        "[Equipment Types].SCC <> \"2282020000\"";
    for (const Case& c : std::vector<Case>{
             {"(([Equipment Types].SCC=\"2282000000\"));", 1},
             {"(([Equipment Types].SCC=\"2282020000\"));", 1},
             {marine_si, 5},
             {like_not_totals + "));", 9},
             {like_not_totals + " And [Equipment Types].[Engine Type] = \"Diesel\"));", 4},
         }) {
        QueryResult r = engine.query(marine_head + c.condition);
        EXPECT_EQ(r.rows.size(), c.rows) << c.condition;
        EXPECT_EQ(r.columns,
                  (std::vector<std::string>{"SCC", "EQUIP", "CLASSIFICATION", "Engine Type"}));
    }
    for (const std::string& type : column(engine.query(marine_head + marine_si), "engine type"))
        EXPECT_NE(type, "Diesel");
}

TEST_F(DemoDatabaseTest, AValueQuotedWithAccessLiteralCannotWidenTheQuery) {
    const std::string attacks[] = {"06000\") OR (\"1\"=\"1", "06000\") OR (Counties.FIPS<>\"x",
                                   "06000\" OR \"\"=\"", "\""};
    for (const std::string& code : attacks) {
        EXPECT_TRUE(engine.query(region_query(code)).empty()) << code;
        EXPECT_TRUE(engine.query(source_query(code)).empty()) << code;
    }
    // Pasted without quoting, the classic attack is refused instead of matching every row.
    std::string pasted =
        "SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=\"06000\") OR "
        "(\"1\"=\"1\");";
    EXPECT_EQ(error_number([&] { engine.query(pasted); }), err::db_syntax);
}

TEST_F(DemoDatabaseTest, OpenIsRepeatableAndNeverWritesTheFile) {
    auto before = fs::last_write_time(demo_db);
    auto size = fs::file_size(demo_db);
    for (int task = 0; task < 2; ++task) {
        engine.close();
        EXPECT_FALSE(engine.is_open());
        EXPECT_EQ(error_number([&] { engine.query(region_query("06037")); }), 3420);
        engine.open(demo_db);
        EXPECT_EQ(engine.query(region_query("06037")).rows.size(), 1u);
    }
    EXPECT_EQ(fs::last_write_time(demo_db), before);
    EXPECT_EQ(fs::file_size(demo_db), size);
}

TEST_F(DemoDatabaseTest, TextOutsideTheDialectFailsWithAClearError) {
    struct Case {
        std::string sql;
        int number;
    };
    for (const Case& c : std::vector<Case>{
             {"", err::db_syntax},
             {"SELECT", err::db_syntax},
             {"SELECT * FROM", err::db_syntax},
             {"DELETE FROM Counties", err::db_syntax},
             {"SELECT TOP 5 * FROM Counties", err::db_syntax},
             {"SELECT * FROM Counties WHERE FIPS =", err::db_syntax},
             {"SELECT * FROM Counties WHERE (FIPS = \"1\"", err::db_syntax},
             {"SELECT * FROM Counties WHERE FIPS = \"1", err::db_syntax},
             {"SELECT * FROM Counties; DROP TABLE Counties", err::db_syntax},
             {"SELECT * FROM Counties WHERE FIPS LIKE \"[0-\"", err::db_syntax},
             {"SELECT * FROM [Counties", err::db_syntax},
             {"SELECT Other.FIPS FROM Counties", err::db_syntax},
             {"SELECT * FROM Counties WHERE FIPS", err::db_syntax},
             {"SELECT * FROM Nowhere", 3078},
             {"SELECT Population FROM Counties", 3061},
             {"SELECT * FROM Counties WHERE Population = \"1\"", 3061},
         }) {
        std::string description;
        EXPECT_EQ(error_number([&] { engine.query(c.sql); }, &description), c.number) << c.sql;
        EXPECT_FALSE(description.empty());
    }
    EXPECT_EQ(engine.query(region_query("06037")).rows.size(), 1u);  // still usable afterwards
}

// A small SQLite fixture for the row rules: order, duplicates, letter case, NULL, quotes.
class FixtureDatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.str() + "/fixture.db";
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        const char* sql =
            "CREATE TABLE [Item List] (Code TEXT, Name TEXT, Qty INTEGER);"
            "INSERT INTO [Item List] VALUES ('b2', 'Beta', 2), ('a1', 'Alpha', 1), ('B2', 'BETA', "
            "2),"
            "('c3', 'Gamma \"G\"', 3), ('d4', NULL, 4), ('a1', 'Alpha', 1), ('é5', 'Épée', 5);";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        engine.open(path);
    }
    test::TempDir dir;
    std::string path;
    SqliteReferenceEngine engine;
};

TEST_F(FixtureDatabaseTest, RowsComeInTableOrderAndDistinctRowDropsDuplicatesIgnoringCase) {
    EXPECT_EQ(column(engine.query("SELECT Code FROM [item list]"), "code"),
              (std::vector<std::string>{"b2", "a1", "B2", "c3", "d4", "a1", "é5"}));
    EXPECT_EQ(column(engine.query("SELECT DISTINCTROW Code, Qty FROM [Item List];"), "Code"),
              (std::vector<std::string>{"b2", "a1", "c3", "d4", "é5"}));
    EXPECT_EQ(column(engine.query("SELECT DISTINCT [Item List].[Name] FROM [Item List]"), "name"),
              (std::vector<std::string>{"Beta", "Alpha", "Gamma \"G\"", "<null>", "Épée"}));
    EXPECT_EQ(column(engine.query("SELECT Code FROM [Item List] ORDER BY Qty DESC, Code"), "Code"),
              (std::vector<std::string>{"é5", "d4", "c3", "b2", "B2", "a1", "a1"}));
}

TEST_F(FixtureDatabaseTest, ComparisonsIgnoreCaseAndHandleNullAndNumbers) {
    struct Case {
        std::string where;
        std::vector<std::string> codes;
    };
    for (const Case& c : std::vector<Case>{
             {"Code = \"B2\"", {"b2", "B2"}},
             {"code <> \"a1\" AND NOT (Code LIKE \"[b-c]*\")", {"d4", "é5"}},
             {"Name = \"ÉPÉE\"", {"é5"}},
             {"Name IS NULL", {"d4"}},
             {"Name NOT LIKE \"*\"", {}},
             {"Qty = 2", {"b2", "B2"}},
             {"Qty >= 4 OR Code = 'a1'", {"a1", "d4", "a1", "é5"}},
             {"Name = " + access_literal("Gamma \"G\""), {"c3"}},
             {"Name LIKE 'gamma \"?\"'", {"c3"}},
         }) {
        EXPECT_EQ(column(engine.query("SELECT Code FROM [Item List] WHERE " + c.where), "Code"),
                  c.codes)
            << c.where;
    }
}

// Queries of one shape share a prepared statement; each must still get its own literals, and
// a query of another shape (another field, literal kind, operator or name) its own statement.
TEST_F(FixtureDatabaseTest, QueriesThatShareAShapeKeepTheirOwnLiteralsAndOtherShapesTheirOwnSql) {
    struct Case {
        std::string where;
        std::vector<std::string> codes;
    };
    const std::vector<Case> cases{
        {"Code = \"a1\"", {"a1", "a1"}},
        {"Code = \"c3\"", {"c3"}},
        {"Code = \"zz\"", {}},
        {"Name = \"Alpha\"", {"a1", "a1"}},
        {"Code = 'B2'", {"b2", "B2"}},
        {"Qty = 2", {"b2", "B2"}},
        {"Qty = 2.0", {"b2", "B2"}},
        {"Qty = 4.5", {}},
        {"Qty <> 2", {"a1", "c3", "d4", "a1", "é5"}},
        {"Qty >= 4", {"d4", "é5"}},
        {"Code = \"a1\" OR Qty = 3", {"a1", "c3", "a1"}},
        {"Code = \"b2\" OR Qty = 5", {"b2", "B2", "é5"}},
        {"Code LIKE \"a*\"", {"a1", "a1"}},
        {"Code LIKE \"c?\"", {"c3"}},
    };
    // Twice through, so that every query also runs after all the others were prepared.
    for (int round = 0; round < 2; ++round)
        for (const Case& c : cases)
            EXPECT_EQ(column(engine.query("SELECT Code FROM [Item List] WHERE " + c.where), "Code"),
                      c.codes)
                << c.where << " (round " << round << ")";
    EXPECT_EQ(column(engine.query("SELECT Name FROM [Item List] WHERE Code = \"c3\""), "Name"),
              (std::vector<std::string>{"Gamma \"G\""}));
}

TEST_F(FixtureDatabaseTest, AnInvalidPatternFailsAfterAValidOneOfTheSameShape) {
    EXPECT_EQ(engine.query("SELECT Code FROM [Item List] WHERE Code LIKE \"[a-b]*\"").rows.size(),
              4u);
    EXPECT_EQ(error_number(
                  [&] { engine.query("SELECT Code FROM [Item List] WHERE Code LIKE \"[b-a]*\""); }),
              3075);
}

// What a query gave, rows or failure, as one comparable text.
std::string outcome_text(const QueryResult& r) {
    std::string t;
    for (const auto& c : r.columns)
        t += c + "|";
    for (const auto& row : r.rows) {
        t += "\n";
        for (const auto& v : row)
            t += v.value_or("<null>") + "|";
    }
    return t;
}
std::string outcome_text(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const AppError& e) {
        return "error " + std::to_string(e.number()) + ": " + e.description();
    }
}

void run_sql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// Texts that differ only in their literals run as one batch; each must get what it gets alone,
// rows or failure, whatever the others of the batch are. A few codes are looked up by scans of
// the table and many over an index they earn, which the batch builds or finds already built:
// the rows are the same.
TEST_F(FixtureDatabaseTest, ABatchGivesEachTextWhatItGivesAlone) {
    // A table whose names are those a batch uses for its own.
    run_sql(path,
            "CREATE TABLE qv_batch_1 (qv_pos TEXT, p1 TEXT, qv_first TEXT, qv_t TEXT);"
            "INSERT INTO qv_batch_1 VALUES ('1', 'x', 'b', 'T'), ('0', 'X', 'a', 't'),"
            "('2', 'y', 'c', NULL);"
            // Repeats, letter case aside, that hold a NULL.
            "INSERT INTO [Item List] VALUES ('D4', NULL, 4), ('f6', NULL, 6), ('F6', NULL, 7);"
            // A field of texts that holds bytes, and the same bytes as a text.
            "INSERT INTO [Item List] VALUES (X'6131', 'Bytes', 8), (X'6731', 'g1', 9), "
            "('G1', 'g1', 9);");
    engine.open(path);
    const auto code = [](const std::string& value) {
        return "SELECT DISTINCTROW Code, Name FROM [Item List] WHERE (Code=" +
               access_literal(value) + ");";
    };
    const auto name = [](const std::string& value) {
        return "SELECT DISTINCTROW Code, Qty FROM [Item List] WHERE (Name=" +
               access_literal(value) + ");";
    };
    std::vector<std::string> names;
    for (const char* n :
         {"Alpha", "beta", "BETA", "Gamma \"G\"", "épée", "ÉPÉE", "", "Zeta", "alpha"})
        for (const std::string& text : {name(n), name(n)})
            names.push_back(text);
    const std::string items = "SELECT Code, Qty FROM [Item List] WHERE ";
    const std::string unknown_field = items + "Nothing = \"a1\"";
    const auto many = [](const std::vector<std::string>& texts) {
        std::vector<std::string> out;
        while (out.size() < 16)
            out.insert(out.end(), texts.begin(), texts.end());
        return out;
    };
    std::vector<std::vector<std::string>> batches = {
        names,
        {code("a1"), code("B2"), code("b2"), code("a1"), code("zz"), code("c3\") OR (\"1\"=\"1"),
         code(""), code("É5"), code("Gamma \"G\""), code("d4"), code("F6"),
         "SELECT DISTINCTROW Code, Name FROM [Item List] WHERE (Code=\"a1\" OR Code=\"b2\");",
         "SELECT DISTINCTROW Code, Name FROM [Item List] WHERE (Code=\"a1\"\"\");",
         "SELECT DISTINCTROW Code, Name FROM [Item List] WHERE (Code=\"a1);",
         "SELECT DISTINCTROW Code, Name FROM [Item List] WHERE (Code=2);"},
        {items + "Qty >= 2 AND Code <> \"b2\" ORDER BY Name DESC",
         items + "Qty >= 1 AND Code <> \"A1\" ORDER BY Name DESC",
         items + "Qty >= 9 AND Code <> \"a1\" ORDER BY Name DESC"},
        {items + "2 = Qty", items + "4.0 = Qty", items + "2.5 = Qty", items + "3 = Qty",
         items + "\"3\" = Qty"},
        {code("a1"), "SELECT Name FROM [Item List] WHERE Code = \"a1\"", code("c3"),
         items + "Code LIKE \"[b-a]*\"", unknown_field,
         "SELECT Code FROM Nowhere WHERE Code = \"a1\"", items + "Code = \"open", code("d4")},
        {unknown_field, code("a1"), code("b2")},
        // A text compared with a field of numbers, which the field's affinity turns into one.
        std::vector<std::string>(20, items + "Qty = \"2\""),
        // Rows of one folded value that stand apart in the table, kept all and in table order.
        many({items + "Code = \"B2\"", items + "Code = \"a1\"", items + "Code = \"D4\""}),
        // Enough to be looked up together by value, not one by one.
        many({items + "Code = \"g1\"", items + "Code = \"A1\"", items + "Code = \"zz\""}),
        many({code("g1"), code("G1"), code("a1"),
              code("\xC3\x89"
                   "5"),
              code("\xC9"
                   "5"),
              code("x")}),
        {"SELECT DISTINCTROW Name FROM [Item List] ORDER BY Name",
         "SELECT DISTINCTROW Name FROM [Item List] ORDER BY Name"},
        {"SELECT DISTINCTROW qv_pos, p1, qv_t FROM qv_batch_1 WHERE (p1 = \"x\")",
         "SELECT DISTINCTROW qv_pos, p1, qv_t FROM qv_batch_1 WHERE (p1 = \"y\")"},
        {"SELECT p1, qv_first FROM qv_batch_1 WHERE qv_t IS NULL OR qv_pos <> \"1\" ORDER BY "
         "qv_first DESC",
         "SELECT p1, qv_first FROM qv_batch_1 WHERE qv_t IS NULL OR qv_pos <> \"0\" ORDER BY "
         "qv_first DESC"},
        {},
    };
    // The codes again, twice over: by then they have their index.
    batches.push_back(batches[1]);
    batches.back().insert(batches.back().end(), batches[1].begin(), batches[1].end());
    for (const auto& batch : batches) {
        // Together first, so that a batch meets a column without an index.
        std::vector<std::string> together;
        for (const auto& outcome : engine.query_each(batch))
            together.push_back(outcome.failure ? outcome_text(outcome.failure)
                                               : outcome_text(outcome.rows));
        std::vector<std::string> alone;
        for (const auto& text : batch) {
            try {
                alone.push_back(outcome_text(engine.query(text)));
            } catch (...) {
                alone.push_back(outcome_text(std::current_exception()));
            }
        }
        EXPECT_EQ(together, alone) << (batch.empty() ? "(none)" : batch[0]);
    }
    // Values given with the head and tail of their texts get what the composed texts get
    // alone, also where the head or tail holds literals of its own.
    struct ByValue {
        std::string head;
        std::vector<std::string> values;
        std::string tail;
    };
    const std::string code_head = "SELECT DISTINCTROW Code, Name FROM [Item List] WHERE (Code=";
    const std::vector<std::string> codes = {
        "a1", "B2", "zz", "c3\") OR (\"1\"=\"1",    "",  "É5", "Gamma \"G\"",
        "g1", "G1", "\"", std::string("a\0001", 3), "F6"};
    const std::vector<ByValue> by_value = {
        {code_head, codes, ");"},
        {code_head, many(codes), ");"},
        {items + "Qty = 9 AND Code = ", many(codes), ""},
        {items + "Code = ", many(codes), " OR Code = \"b2\""},
        {"SELECT DISTINCTROW Code, Qty FROM [Item List] WHERE (Name=", many({"Alpha", "BETA"}),
         ");"},
        {"SELECT Code FROM Nowhere WHERE Code = ", many({"a1"}), ""},
        {code_head, {}, ");"},
    };
    for (const ByValue& row : by_value) {
        const std::vector<std::string_view> values(row.values.begin(), row.values.end());
        std::vector<std::string> given;
        for (const auto& outcome : engine.query_each_value(row.head, values, row.tail))
            given.push_back(outcome.failure ? outcome_text(outcome.failure)
                                            : outcome_text(outcome.rows));
        std::vector<std::string> alone;
        for (const std::string& value : row.values) {
            try {
                alone.push_back(
                    outcome_text(engine.query(row.head + access_literal(value) + row.tail)));
            } catch (...) {
                alone.push_back(outcome_text(std::current_exception()));
            }
        }
        EXPECT_EQ(given, alone) << row.head << row.tail;
    }
    // The results of a batch share their field names: a change to one leaves the others.
    const std::vector<std::string_view> found(codes.begin(), codes.end());
    std::vector<QueryOutcome> shared = engine.query_each_value(code_head, found, ");");
    shared[0].rows.columns.emplace_back("Extra");
    EXPECT_EQ(shared[1].rows.columns, (std::vector<std::string>{"Code", "Name"}));
    // The batch tables are the engine's own: neither listed nor saved.
    std::vector<std::string> tables;
    for (const auto& t : engine.tables())
        tables.push_back(t.name);
    EXPECT_EQ(tables, (std::vector<std::string>{"Item List", "qv_batch_1"}));
}

// A closed database is kept for the next open, by this engine or another, only while its file
// is unchanged.
TEST_F(FixtureDatabaseTest, AReopenedFileGivesItsRowsAsTheyAreNow) {
    const std::string nines = "SELECT Code FROM [Item List] WHERE Qty = 9";
    EXPECT_TRUE(engine.query(nines).empty());
    engine.close();
    EXPECT_EQ(error_number([&] { engine.query(nines); }), 3420);
    run_sql(path, "INSERT INTO [Item List] VALUES ('z9', 'Zeta', 9)");
    engine.open(path);
    EXPECT_EQ(column(engine.query(nines), "Code"), std::vector<std::string>{"z9"});
    SqliteReferenceEngine other;
    other.open(path);
    EXPECT_EQ(column(other.query(nines), "Code"), std::vector<std::string>{"z9"});
    engine.close();
    other.close();
    run_sql(path, "DELETE FROM [Item List] WHERE Qty = 9");
    for (int round = 0; round < 2; ++round) {
        engine.open_unread(path);
        EXPECT_TRUE(engine.query_each({nines, nines})[1].rows.empty()) << round;
        engine.close();
    }
}

// A database loaded by an earlier command is taken from the cache instead of the file only
// while the file is as it was then and the kept copy is sound; otherwise the file is read.
TEST(LoadedCopyTest, AKeptCopyStandsForItsFileOnlyAsTheFileWasAndWhileItIsSound) {
    test::TempDir dir;
    const char* before = std::getenv("XDG_CACHE_HOME");
    const std::string saved = before ? before : "";
    ::setenv("XDG_CACHE_HOME", (dir.str() + "/cache").c_str(), 1);
    const std::string file = dir.str() + "/ref.db", other = dir.str() + "/other.db";
    run_sql(file,
            "CREATE TABLE Counties (FIPS TEXT, COUNTY TEXT);"
            "INSERT INTO Counties VALUES ('06037', 'Los Angeles');");
    run_sql(other, "CREATE TABLE Other (X TEXT)");
    const std::string names = "SELECT COUNTY FROM Counties";
    SqliteReferenceEngine engine;
    // Opens the file after another, so that no database of this process stands for it.
    const auto names_now = [&] {
        engine.open(other);
        engine.close();
        engine.open(file);
        std::vector<std::string> found = column(engine.query(names), "COUNTY");
        engine.close();
        return found;
    };
    const auto copies = [&] {
        std::vector<std::filesystem::path> found;
        for (const auto& e :
             std::filesystem::directory_iterator(dir.str() + "/cache/qv-gui/reference"))
            if (e.path().string().find(".db") != std::string::npos)
                found.push_back(e.path());
        return found;
    };
    EXPECT_EQ(names_now(), std::vector<std::string>{"Los Angeles"});
    EXPECT_EQ(copies().size(), 2u);
    EXPECT_EQ(names_now(), std::vector<std::string>{"Los Angeles"});
    // The same size and modification time, other rows.
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    run_sql(file, "UPDATE Counties SET COUNTY = 'Los Altos  '");
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(names_now(), std::vector<std::string>{"Los Altos  "});
    // Copies cut short, damaged, or holding another database than their sum.
    const auto each_copy = [&](auto&& change) {
        for (const auto& copy : copies()) {
            std::string bytes = test::read_file(copy);
            change(bytes);
            dir.write("cache/qv-gui/reference/" + copy.filename().string(), bytes);
        }
    };
    each_copy([](std::string& b) { b.resize(b.size() / 2); });
    EXPECT_EQ(names_now(), std::vector<std::string>{"Los Altos  "});
    each_copy([](std::string& b) { b[b.size() - 100] ^= 1; });
    EXPECT_EQ(names_now(), std::vector<std::string>{"Los Altos  "});
    each_copy([](std::string& b) {
        const std::size_t at = b.find("Los Altos  ");
        if (at != std::string::npos)
            b.replace(at, 11, "Elsewhere  ");
    });
    EXPECT_EQ(names_now(), std::vector<std::string>{"Los Altos  "});
    // A relative cache folder is none: nothing is written where the command runs.
    ::setenv("XDG_CACHE_HOME", "relative-cache", 1);
    run_sql(file, "UPDATE Counties SET COUNTY = 'Los Angeles'");
    EXPECT_EQ(names_now(), std::vector<std::string>{"Los Angeles"});
    EXPECT_FALSE(std::filesystem::exists("relative-cache"));
    if (before)
        ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
}

// An engine that lives until the program ends, made before any database was kept, closes at
// exit without handing its database to kept ones that may be gone by then.
TEST(ReferenceEngineLifeTest, AnEngineThatLivesUntilTheProgramEndsClosesCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: nothing kept yet
    test::TempDir dir;
    const std::string path = dir.str() + "/until-exit.db";
    run_sql(path, "CREATE TABLE Counties (COUNTY TEXT, FIPS TEXT)");
    EXPECT_EXIT(
        {
            static SqliteReferenceEngine until_exit;
            until_exit.open(path);
            until_exit.close();
            until_exit.open(path);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(QueryShapeTest, LiteralsStandAsTheirKindAndEveryOtherTokenCounts) {
    using reference::query_shape;
    const auto key = [](std::string_view q) { return query_shape(q).key; };
    const std::string base = key("SELECT a FROM t WHERE x = \"1\"");
    EXPECT_EQ(key("SELECT a FROM t WHERE x = 'other'"), base);
    EXPECT_EQ(key("SELECT  a FROM t\r\nWHERE x=\"\""), base);
    for (std::string_view other : {
             "SELECT a FROM t WHERE x = 1",        // literal kind
             "SELECT a FROM t WHERE y = \"1\"",    // field
             "SELECT a FROM t WHERE x <> \"1\"",   // operator
             "SELECT A FROM t WHERE x = \"1\"",    // spelling of a name
             "SELECT [a] FROM t WHERE x = \"1\"",  // bracketed name
             "SELECT a FROM t WHERE x = \"1\";",   // punctuation
         })
        EXPECT_NE(key(other), base) << other;
    // Bracketed names may hold any byte but "]": the key must not let them pose as tokens.
    EXPECT_NE(key("SELECT [a b] FROM t"), key("SELECT [a] b FROM t"));
    EXPECT_NE(key("SELECT [w1:a] FROM t"), key("SELECT a FROM t"));

    auto shape = query_shape("SELECT a FROM t WHERE x = 'it''s' AND y = 2.5 AND z LIKE \"a*\"");
    EXPECT_EQ(shape.literals,
              (std::vector<reference::Literal>{{false, "it's"}, {true, "2.5"}, {false, "a*"}}));
    EXPECT_FALSE(shape.reusable);
    EXPECT_TRUE(query_shape("SELECT a FROM t WHERE x = 1").reusable);
    EXPECT_EQ(error_number([&] { query_shape("SELECT a FROM t WHERE x = \"open"); }), 3075);
}

// A text that is the model with another literal in its place is taken by the quick comparison
// only where reading its tokens gives that literal and the model's key; any other text is left
// to be read.
TEST(QueryShapeTest, TheQuickComparisonTakesOnlyWhatReadingTheTokensGives) {
    using reference::query_shape;
    const struct {
        std::string model;
        std::vector<std::string> taken;  // each with the literal it holds, in pairs
        std::vector<std::string> left;
    } cases[] = {
        {"SELECT a FROM t WHERE x = \"01001\";",
         {"SELECT a FROM t WHERE x = \"\";", "",                          //
          "SELECT a FROM t WHERE x = \"\"\"\";", "\"",                    //
          "SELECT a FROM t WHERE x = \"a\"\"b\";", "a\"b",                //
          "SELECT a FROM t WHERE x = \"a\"\"\";", "a\"",                  //
          "SELECT a FROM t WHERE x = \"a\"\" OR \"\"b\";", "a\" OR \"b",  //
          "SELECT a FROM t WHERE x = \"\xC3\x89 'q' ;\";", "\xC3\x89 'q' ;"},
         {"SELECT a FROM t WHERE x = \"a\" OR \"b\";", "SELECT a FROM t WHERE x = \"a\"\";",
          "SELECT a FROM t WHERE x = \"open;", "SELECT a FROM t WHERE x = 'single';",
          "SELECT a FROM t WHERE x = ;", "SELECT a FROM t WHERE x = \"1\" ;",
          "SELECT a FROM t WHERE x = \"1\"", "select a FROM t WHERE x = \"1\";",
          "SELECT a FROM t WHERE x = \"1\"\"", "SELECT a FROM t WHERE x = \"\"\";"}},
        // The model's own literal holds doubled quotes; nothing follows it.
        {"SELECT a FROM t WHERE x = \"q\"\"q\"",
         {"SELECT a FROM t WHERE x = \"z\"", "z", "SELECT a FROM t WHERE x = \"\"\"\"\"\"", "\"\""},
         {"SELECT a FROM t WHERE x = \"z\" AND y = \"w\"", "SELECT a FROM t WHERE x = \"z\"1",
          "SELECT a FROM t WHERE x = \"\"\"\"\""}},
    };
    for (const auto& c : cases) {
        const auto span = reference::sole_text_literal(c.model);
        ASSERT_TRUE(span) << c.model;
        const std::string key = query_shape(c.model).key;
        for (std::size_t i = 0; i + 1 < c.taken.size(); i += 2) {
            const std::string& text = c.taken[i];
            const auto quick = reference::same_shape_but_literal(text, c.model, *span);
            ASSERT_TRUE(quick) << text;
            const auto read = query_shape(text);
            EXPECT_EQ(read.key, key) << text;
            EXPECT_EQ(read.literals, (std::vector<reference::Literal>{{false, c.taken[i + 1]}}))
                << text;
            EXPECT_EQ(*quick, c.taken[i + 1]) << text;
        }
        for (const std::string& text : c.left)
            EXPECT_FALSE(reference::same_shape_but_literal(text, c.model, *span)) << text;
    }
}

// A batch finds its rows by folded values only where the text's one condition is a field equal
// to its one text literal, in whatever parentheses.
TEST(BatchTranslationTest, OnlyOneFieldEqualToOneTextIsALookUpByValue) {
    const reference::TableInfo table{"T", {"F", "G"}};
    const auto lookup = [&](std::string_view) { return &table; };
    const std::string select = "SELECT DISTINCTROW G FROM T WHERE ";
    const struct {
        std::string where;
        const char* column;
    } rows[] = {
        {"F = \"x\"", "F"},
        {"(T.F=\"x\");", "F"},
        {"((\"x\" = [T].[G]))", "G"},
        {"F = \"x\" AND G = \"y\"", ""},
        {"F = \"x\" AND G IS NULL", ""},
        {"(F = \"x\") OR (G IS NULL)", ""},
        {"NOT F = \"x\"", ""},
        {"F = 2", ""},
        {"F <> \"x\"", ""},
        {"F LIKE \"x\"", ""},
        {"F = G", ""},
        {"F = \"x\" ORDER BY G", ""},
    };
    for (const auto& row : rows) {
        const auto tq = reference::translate_access_batch(select + row.where, lookup);
        EXPECT_EQ(tq.equality_column, row.column) << row.where;
        EXPECT_EQ(tq.scan_sql.empty(), std::string(row.column).empty()) << row.where;
    }
}

TEST_F(FixtureDatabaseTest, SavesACopyThatPlainSQLiteCanRead) {
    engine.query("SELECT Code FROM [Item List] WHERE Code = \"a1\"");  // builds a lookup index
    std::string copy = dir.str() + "/copy.sqlite";
    engine.save_as_sqlite(copy);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM [Item List] WHERE Code = 'a1'", -1, &s,
                                 nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), 2);
    sqlite3_finalize(s);
    sqlite3_close(db);
    EXPECT_EQ(error_number([&] { engine.save_as_sqlite(path); }), err::path_access);
}

TEST(ReferenceOpenTest, EachFailureHasItsNumberAndNamesThePath) {
    test::TempDir dir;
    std::string sqlite_bytes = test::read_file(demo_db);
    struct Case {
        const char* what;
        std::string path;
        int number;
    };
    std::vector<Case> cases = {
        {"missing", dir.str() + "/reports/reports.mdb", err::db_not_found},
        {"empty", dir.write("empty.mdb", ""), err::db_unrecognised},
        {"text", dir.write("notes.mdb", "Counties,FIPS\n06037,Los Angeles\n"),
         err::db_unrecognised},
        {"directory", dir.str(), err::db_unrecognised},
        {"truncated SQLite", dir.write("cut.mdb", sqlite_bytes.substr(0, sqlite_bytes.size() / 2)),
         err::db_unrecognised},
        {"SQLite header only", dir.write("head.mdb", sqlite_bytes.substr(0, 100)),
         err::db_unrecognised},
        {"Jet header only",
         dir.write("jet.mdb",
                   std::string("\0\1\0\0Standard Jet DB\0\1", 21) + std::string(4075, '\0')),
         err::db_unrecognised},
    };
    if (fs::exists(nwind)) {
        std::string jet = test::read_file(nwind);
        cases.push_back({"truncated Access", dir.write("cut-jet.mdb", jet.substr(0, 1000000)),
                         err::db_unrecognised});
        cases.push_back({"Access cut at a page", dir.write("page-jet.mdb", jet.substr(0, 40960)),
                         err::db_unrecognised});
    }
    for (const Case& c : cases) {
        SqliteReferenceEngine engine;
        std::string description;
        EXPECT_EQ(error_number([&] { engine.open(c.path); }, &description), c.number) << c.what;
        EXPECT_NE(description.find(c.path), std::string::npos) << c.what << ": " << description;
        EXPECT_FALSE(engine.is_open()) << c.what;
        // Opened unread, a file damaged past its header fails on its first query instead.
        std::string unread;
        const int number = error_number(
            [&] {
                engine.open_unread(c.path);
                engine.query(region_query("06037"));
            },
            &unread);
        EXPECT_EQ(number, c.number) << c.what;
        EXPECT_NE(unread.find(c.path), std::string::npos) << c.what << ": " << unread;
        EXPECT_FALSE(engine.is_open()) << c.what;
    }
    SqliteReferenceEngine engine;
    engine.open_unread(demo_db);
    EXPECT_TRUE(engine.is_open());
    EXPECT_EQ(engine.query(region_query("06037")).rows.size(), 1u);
}

TEST(ReferenceOpenTest, UnreadableFileCannotBeOpened) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    test::TempDir dir;
    std::string path = dir.write("locked.mdb", test::read_file(demo_db));
    fs::permissions(path, fs::perms::none);
    SqliteReferenceEngine engine;
    EXPECT_EQ(error_number([&] { engine.open(path); }), err::db_locked);
}

TEST(ReferenceOpenTest, SqliteFileWhosePathLooksLikeAUri) {
    test::TempDir dir;
    std::string bytes = test::read_file(demo_db);
    const std::string here = fs::current_path();
    for (const std::string name : {"odd ?immutable=0#x %41 name.mdb", "file:reports.mdb"}) {
        std::string path = dir.write(name, bytes);
        SqliteReferenceEngine engine;
        engine.open(path);
        EXPECT_EQ(engine.query(region_query("06037")).rows.size(), 1u) << name;
        // The same file named relative to the current directory.
        fs::current_path(dir.path());
        engine.open(name);
        EXPECT_EQ(engine.query(region_query("06037")).rows.size(), 1u) << name;
        fs::current_path(here);
    }
}

TEST(ReferenceOpenTest, FactoryGivesAWorkingEngine) {
    auto engine = make_reference_engine();
    engine->open(demo_db);
    EXPECT_TRUE(engine->is_open());
    engine->close();
    EXPECT_FALSE(engine->is_open());
}

class AccessFileTest : public ::testing::Test {
  protected:
    // Each test returns when this skips it: a skip in a helper ends only the helper.
    void open(const std::string& path) {
        if (!fs::exists(path))
            GTEST_SKIP() << "missing " << path;
        engine.open(path);
    }
    SqliteReferenceEngine engine;
};

TEST_F(AccessFileTest, Jet4TablesWithBlanksAndNonAsciiNames) {
    open(nwind);
    if (IsSkipped())
        return;
    QueryResult shippers = engine.query("SELECT * FROM Shippers");
    EXPECT_EQ(column(shippers, "companyname"),
              (std::vector<std::string>{"Speedy Express", "United Package", "Federal Shipping"}));
    EXPECT_EQ(column(shippers, "ShipperID"), (std::vector<std::string>{"1", "2", "3"}));

    QueryResult alfki =
        engine.query("SELECT CompanyName, City FROM Customers WHERE CustomerID = \"alfki\"");
    ASSERT_EQ(alfki.rows.size(), 1u);
    EXPECT_EQ(alfki.field(0, "CompanyName"), "Alfreds Futterkiste");
    EXPECT_EQ(alfki.field(0, "city"), "Berlin");

    std::int64_t details = 0, sales = 0;
    for (const auto& t : engine.tables()) {
        if (t.name == "Order Details")
            details = t.rows.value_or(-1);
        if (t.name == "Umsätze")
            sales = t.rows.value_or(-1);
    }
    EXPECT_GT(details, 0);
    EXPECT_GT(sales, 0);
    EXPECT_EQ(engine.query("SELECT * FROM [order details]").rows.size(),
              static_cast<std::size_t>(details));
    EXPECT_EQ(engine.query("SELECT * FROM [UMSÄTZE];").rows.size(),
              static_cast<std::size_t>(sales));
    QueryResult one = engine.query(
        "SELECT [Order Details].OrderID FROM [Order Details] WHERE "
        "([Order Details].ProductID = 11 AND [Order Details].OrderID = 10248)");
    EXPECT_EQ(one.rows.size(), 1u);
}

TEST_F(AccessFileTest, Jet4NonAsciiTextLikeAndDistinctRow) {
    open(nwind);
    if (IsSkipped())
        return;
    QueryResult address = engine.query(
        "SELECT CustomerID FROM Customers WHERE Address = \"AVDA. DE LA CONSTITUCIÓN 2222\"");
    ASSERT_EQ(address.rows.size(), 1u);

    std::vector<std::string> ids =
        column(engine.query("SELECT CustomerID FROM Customers"), "CustomerID");
    ASSERT_EQ(ids.size(), 91u);
    auto filtered = [&](auto keep) {
        std::vector<std::string> out;
        std::copy_if(ids.begin(), ids.end(), std::back_inserter(out), keep);
        return out;
    };
    struct Case {
        std::string pattern;
        std::vector<std::string> expected;
    };
    for (const Case& c : std::vector<Case>{
             {"ALFK?", {"ALFKI"}},
             {"a*", filtered([](const std::string& s) { return s[0] == 'A'; })},
             {"[!a-y]*", filtered([](const std::string& s) { return s[0] == 'Z' || s[0] < 'A'; })},
             {"[B-C]?[!N]*", filtered([](const std::string& s) {
                  return (s[0] == 'B' || s[0] == 'C') && s[2] != 'N';
              })},
             {"#*", {}},
         }) {
        EXPECT_EQ(column(engine.query("SELECT CustomerID FROM Customers WHERE CustomerID LIKE \"" +
                                      c.pattern + "\""),
                         "CustomerID"),
                  c.expected)
            << c.pattern;
    }
    EXPECT_FALSE(
        engine.query("SELECT PostalCode FROM Customers WHERE PostalCode LIKE \"#####\"").empty());

    std::vector<std::string> countries =
        column(engine.query("SELECT Country FROM Customers"), "Country");
    std::vector<std::string> first_seen;
    for (const std::string& c : countries)
        if (std::find(first_seen.begin(), first_seen.end(), c) == first_seen.end())
            first_seen.push_back(c);
    EXPECT_EQ(
        column(engine.query("SELECT DISTINCTROW Customers.Country FROM Customers;"), "country"),
        first_seen);
}

TEST_F(AccessFileTest, Jet3TextComparesWithoutCase) {
    open(jet3_db);
    if (IsSkipped())
        return;
    QueryResult hello = engine.query("SELECT IDCol FROM DateTest WHERE ShortTextCol = \"HELLO\"");
    EXPECT_EQ(column(hello, "idcol"), std::vector<std::string>{"1"});
    EXPECT_EQ(
        column(engine.query("SELECT IDCol FROM DateTest WHERE LongTextCol LIKE \"pre-#### years\""),
               "IDCol"),
        (std::vector<std::string>{"3", "4"}));
}

}  // namespace
}  // namespace qv
