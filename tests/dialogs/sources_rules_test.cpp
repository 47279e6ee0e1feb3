#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "dialogs/scenario/sources_rules.h"
#include "region_sources_fixture.h"
#include "scenario/text.h"

namespace qv::test {
namespace {

TEST(SourcesPatterns, EquipstrTurnsTrailingZerosIntoDigits) {
    const std::pair<const char*, const char*> rows[] = {{"02000", "02###"}, {"10000", "1####"},
                                                        {"00000", "#####"}, {"22850", "2285#"},
                                                        {"12345", "12345"}, {"", ""}};
    for (const auto& [in, out] : rows)
        EXPECT_EQ(equipstr(in), out) << in;
}

TEST(SourcesPatterns, SelectionByKindSegmentAndFuel) {
    struct Row {
        int kind, seg, fuel;
        const char* pattern;
    } rows[] = {
        {add_segment, 2, 1, "##7##02000"},          {add_equipment, 2, 1, "##7##02###"},
        {add_segment, 10, 0, "##[!8]##10000"},      {add_equipment, 10, 2, "##[!7-8]##1####"},
        {add_segment, 0, 0, "##[!8]##00000"},       {add_equipment, 0, 0, "##[!8]#######"},
        {add_segment, 11, 0, "2285000000"},         {add_equipment, 11, 0, "22850#####"},
        {add_segment, 11, 1, "2285002015"},         {add_equipment, 11, 1, "2285002015"},
        {add_equipment, 11, 2, "228500[3-8]015"},   {add_segment, 12, 1, "2282020000"},
        {add_segment, 12, 2, "22820[0-1][0-5]0##"}, {add_segment, 2, no_fuel, ""},
        {add_segment, no_segment, 0, ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(selection(r.kind, r.seg, segment_code(r.seg), r.fuel), r.pattern)
            << r.kind << " " << r.seg << " " << r.fuel;
    EXPECT_EQ(segment_code(4), "04000");
    EXPECT_EQ(segment_code(no_segment), "");
    EXPECT_STREQ(segment_captions[4], "Lawn && Garden");
}

TEST(SourcesPatterns, MarineQueriesAndTheAllSegmentsQuery) {
    const std::string head =
        "Select DISTINCTROW [Equipment Types].SCC,[Equipment Types].EQUIP,[Equipment "
        "Types].CLASSIFICATION,[Equipment Types].[Engine Type] FROM [Equipment Types] WHERE ";
    const std::string others =
        "[Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> \"2282000000\" And "
        "[Equipment Types].SCC <> \"2282020000\"";
    EXPECT_EQ(marinequery(add_segment, 0), head + "(([Equipment Types].SCC=\"2282000000\"));");
    EXPECT_EQ(marinequery(add_segment, 1), head + "(([Equipment Types].SCC=\"2282020000\"));");
    const std::string not_diesel =
        head + "((" + others + " And [Equipment Types].[Engine Type] <> \"Diesel\"));";
    EXPECT_EQ(marinequery(add_segment, 2), not_diesel);
    EXPECT_EQ(marinequery(add_equipment, 2), not_diesel);
    EXPECT_EQ(marinequery(add_equipment, 0), head + "((" + others + "));");
    EXPECT_EQ(marinequery(add_equipment, 1),
              head + "((" + others + " And [Equipment Types].[Engine Type] = \"Diesel\"));");
    EXPECT_EQ(marinequery(add_segment, no_fuel), "");

    Workspace w;
    EXPECT_EQ(add_query(w.s, add_segment, 0, 0, "00000"),
              "SELECT DISTINCTROW SCC,EQUIP,CLASSIFICATION,[Engine Type] from [EQUIPMENT TYPES] "
              "WHERE SCC LIKE \"##[!8]##00000\" OR SCC LIKE \"2285000000\" OR SCC LIKE "
              "\"2282000000\";");
    EXPECT_EQ(w.s.log.lines(),
              (std::vector<std::string>{"selector1 <2285000000>", "selector2 <2282000000>"}));
    EXPECT_EQ(add_query(w.s, add_equipment, 2, 1, "02000"), add_query_head() + "\"##7##02###\";");
}

class SourcesRules : public DemoDbTest {
  protected:
    SourcesRules() { set_listed_sources(s.sc, {}); }
    std::set<std::string> added_codes(int kind, int seg, int fuel) {
        std::set<std::string> r;
        for (const auto& rec : add_sources(s, kind, seg, fuel, segment_code(seg)))
            r.insert(rec.scc);
        return r;
    }
};

TEST_F(SourcesRules, EachPatternFindsItsCodesInTheDemoDatabase) {
    using Codes = std::set<std::string>;
    const Codes marine_si = {"2282005010", "2282005015", "2282010005", "2282010010", "2282010015"};
    struct Row {
        int kind, seg, fuel;
        Codes codes;
    } rows[] = {
        {add_segment, 2, 1, {"2270002000"}},
        {add_segment, 11, 1, {"2285002015"}},
        {add_equipment, 11, 1, {"2285002015"}},
        {add_segment, 11, 2, {"2285004015", "2285006015", "2285008015"}},
        {add_segment, 12, 0, {"2282000000"}},
        {add_segment, 12, 1, {"2282020000"}},
        {add_equipment, 12, 1, {"2282020005", "2282020010", "2282020025", "2282020030"}},
        {add_segment, 12, 2, marine_si},
        {add_equipment, 12, 2, marine_si},
        {add_segment,
         0,
         0,
         {"2260000000", "2265000000", "2267000000", "2268000000", "2270000000", "2285000000",
          "2282000000"}},
    };
    for (const Row& r : rows) {
        set_listed_sources(s.sc, {});
        EXPECT_EQ(added_codes(r.kind, r.seg, r.fuel), r.codes)
            << r.kind << " " << r.seg << " " << r.fuel;
        EXPECT_EQ(source_count(s.sc), r.codes.size());
        EXPECT_TRUE(s.sc.source_list.back().scc.empty());
    }
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_FALSE(ref->is_open());
}

TEST_F(SourcesRules, AddEquipmentOfAllSegmentsSkipsTotalsEndingIn20000) {
    std::set<std::string> codes = added_codes(add_equipment, 0, 0);
    EXPECT_EQ(codes.size(), 320u);
    EXPECT_FALSE(codes.count("2282020000"));
    EXPECT_TRUE(codes.count("2282020005"));
    EXPECT_TRUE(codes.count("2285008015"));
    for (const auto& c : codes)
        EXPECT_NE(c.substr(5), "20000") << c;
    // A second add finds every code listed already.
    EXPECT_TRUE(added_codes(add_equipment, 0, 0).empty());
    EXPECT_EQ(source_count(s.sc), 320u);
}

TEST_F(SourcesRules, AddLogsItsStepsAndEachNewCode) {
    s.log = RunLog();
    s.log.open_in_memory();
    added_codes(add_segment, 11, 1);
    const std::string q = add_query_head() + "\"2285002015\";";
    EXPECT_EQ(s.log.lines(),
              (std::vector<std::string>{"Now print SQL", q, "Tried open recordset", "Addsel ",
                                        "?????", "\t2285002015\tRailway Maintenance", "Found 1 "}));
    EXPECT_EQ(s.sc.source_list[0].description, "Railway Maintenance Railway Maintenance Diesel");
}

TEST_F(SourcesRules, NothingChosenNothingFoundAndFailures) {
    EXPECT_TRUE(added_codes(add_segment, -1, 0).empty());
    EXPECT_TRUE(added_codes(add_segment, 2, -1).empty());
    EXPECT_EQ(ui.messages(),
              (std::vector<std::string>{"No Equipment selected", "No Fuel Selected"}));
    for (const auto& call : ui.calls())
        EXPECT_EQ(call.title, std::nullopt) << call.text;  // no title of their own

    // The no-choice options build an empty pattern: only a beep and the log tell.
    ui.clear();
    added_codes(add_segment, no_segment, no_fuel);
    ASSERT_EQ(ui.calls().size(), 1u);
    EXPECT_EQ(ui.calls()[0].kind, "beep");
    EXPECT_EQ(s.log.lines().back(), "None found ");
    EXPECT_EQ(s.log.lines()[s.log.lines().size() - 2], "Option1 Option1");

    // Marine without a fuel has no query at all.
    added_codes(add_segment, 12, no_fuel);
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{"Addsel Error "}));
    EXPECT_FALSE(ref->is_open());
    EXPECT_EQ(ui.busy_depth(), 0);
}

TEST_F(SourcesRules, TheListHoldsAtMost32767Sources) {
    std::vector<SourceRecord> full(max_sources);
    for (std::size_t i = 0; i < full.size(); ++i)
        full[i].scc = fit(std::to_string(i), 10);
    set_listed_sources(s.sc, full);
    EXPECT_TRUE(added_codes(add_segment, 11, 1).empty());
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{"Addsel Error "}));
    EXPECT_EQ(source_count(s.sc), max_sources);
    full.pop_back();
    set_listed_sources(s.sc, full);
    EXPECT_EQ(added_codes(add_segment, 11, 2).size(), 1u);
    EXPECT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(source_count(s.sc), max_sources);
}

}  // namespace
}  // namespace qv::test
