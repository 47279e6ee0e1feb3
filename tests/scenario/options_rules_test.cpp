#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "scenario/options_rules.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

TEST(OptionsBoxValue, LeadingNumberWithBlanksIgnoredAnywhere) {
    const struct {
        const char* text;
        double value;
    } rows[] = {
        {"", 0},     {"abc", 0},  {"12abc", 12},  {" 1 2 ", 12}, {"\t9.\n5", 9.5}, {"-40", -40},
        {"+7", 7},   {".5", 0.5}, {"1.2.3", 1.2}, {"1e2", 100},  {"1E+1x", 10},    {"2e", 2},
        {"3d1", 30}, {"-", 0},    {"0.5%", 0.5},  {"****", 0},   {"\r5", 0},
    };
    for (const auto& r : rows)
        EXPECT_DOUBLE_EQ(box_value(r.text), r.value) << r.text;
    EXPECT_TRUE(std::isinf(box_value("1e999")));
}

TEST(OptionsRange, BoundsAreInclusiveAndTheMarkerNeverPasses) {
    const struct {
        const char* control;
        const char* text;
        bool passes;
    } rows[] = {
        {"fulrvp", "6", true},        {"fulrvp", "16", true},        {"fulrvp", "5.99", false},
        {"fulrvp", "16.01", false},   {"fulrvp", "", false},         {"fulrvp", "12abc", true},
        {"pcoxygen", "5", true},      {"pcoxygen", "5.01", false},   {"so2gas", "0.5", true},
        {"so2diesel", "0.51", false}, {"so2marinediesel", "", true}, {"cngsulfur", "-0.1", false},
        {"Mintemp", "-40", true},     {"Maxtemp", "120", true},      {"Avgtemp", "-40.5", false},
        {"EtOHvolPct", "20", true},   {"EtOHvolPct", "20.1", false}, {"BlendMktShare", "100", true},
        {"Stage2", "100.1", false},   {"so2gas", "****", false},     {"Stage2", "1e999", false},
    };
    for (const auto& r : rows) {
        auto range = box_range(r.control);
        ASSERT_TRUE(range) << r.control;
        EXPECT_EQ(within_range(r.text, *range), r.passes) << r.control << " " << r.text;
    }
    EXPECT_FALSE(box_range("Titleone"));
    EXPECT_FALSE(box_range("Titletwo"));
}

TEST(OxygenSuggestion, RoundsToHundredthsWithHalvesToEven) {
    // 3 x 10 x 0.35 = 10.5 hundredths and 4 x 17.5 x 0.35 = 24.5: both go down to the even one.
    EXPECT_DOUBLE_EQ(suggested_oxygen(3, 10), 0.10);
    EXPECT_DOUBLE_EQ(suggested_oxygen(4, 17.5), 0.24);
    EXPECT_DOUBLE_EQ(suggested_oxygen(10, 10), 0.35);
    EXPECT_DOUBLE_EQ(suggested_oxygen(100, 20), 7);
    EXPECT_EQ(general_number(suggested_oxygen(3, 10)), "0.1");
    EXPECT_EQ(general_number(suggested_oxygen(10, 10)), "0.35");

    EXPECT_FALSE(oxygen_mismatch(10, 10, 0.35));
    EXPECT_FALSE(oxygen_mismatch(10, 10, 0.45));
    EXPECT_TRUE(oxygen_mismatch(10, 10, 0.5));
    EXPECT_TRUE(oxygen_mismatch(0, 0, 0.11));
}

// check_all over plain texts, as the window hands them over.
struct Form {
    std::map<std::string, std::string> text = {
        {"fulrvp", "9"},      {"pcoxygen", "0.35"},    {"so2gas", "0.03"},
        {"so2diesel", "0.2"}, {"so2marinediesel", ""}, {"cngsulfur", "0"},
        {"Mintemp", "60"},    {"Maxtemp", "84"},       {"Avgtemp", "75"},
        {"EtOHvolPct", "10"}, {"BlendMktShare", "10"}, {"Stage2", "0"},
    };
    OptionsBoxes boxes() {
        return {[this](const std::string& c) { return text.at(c); },
                [this](const std::string& c, const std::string& t) { text.at(c) = t; }};
    }
};

TEST(OptionsCheckAll, StopsAtTheFirstRefusedBoxInItsOrder) {
    Workspace w;
    Form f;
    f.text["so2gas"] = "0.6";
    f.text["fulrvp"] = "3";
    f.text["EtOHvolPct"] = "25";
    EXPECT_EQ(check_all(w.s, f.boxes()), "fulrvp");
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"Invalid 6 to 16"});
    EXPECT_EQ(f.text["fulrvp"], "****");
    EXPECT_EQ(f.text["so2gas"], "0.6");
    EXPECT_TRUE(w.s.sc.options_changed);

    // The blend share is tested before the ethanol volume.
    w.ui.clear();
    f.text["fulrvp"] = "9";
    f.text["so2gas"] = "0";
    f.text["BlendMktShare"] = "101";
    EXPECT_EQ(check_all(w.s, f.boxes()), "BlendMktShare");
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"Invalid 0 to 100"});
}

TEST(OptionsCheckAll, OxygenCautionComesBeforeStageTwoAndDoesNotFail) {
    Workspace w;
    Form f;
    f.text["pcoxygen"] = "0.5";
    f.text["Stage2"] = "101";
    EXPECT_EQ(check_all(w.s, f.boxes()), "Stage2");
    ASSERT_EQ(w.ui.calls().size(), 2u);
    EXPECT_EQ(w.ui.calls()[0].icon, Icon::Exclamation);
    EXPECT_EQ(w.ui.calls()[0].title, "US KQT QUARVEL MODEL");
    EXPECT_EQ(w.ui.calls()[1].text, "Invalid 0 to 100");
    EXPECT_EQ(w.ui.calls()[1].title, std::nullopt);

    w.ui.clear();
    f.text["Stage2"] = "50";
    EXPECT_EQ(check_all(w.s, f.boxes()), "");
    EXPECT_EQ(w.ui.messages().size(), 1u);
}

}  // namespace
}  // namespace qv::test
