#include <gtest/gtest.h>

#include <functional>

#include "scenario/scenario_compare.h"

namespace qv {
namespace {

void add_region(Scenario& sc, const std::string& code, const std::string& county,
                const std::string& state, const std::string& abbr) {
    sc.region_list.add(
        std::make_shared<RegionCls>(RegionCls{code, county, state, abbr, code.substr(2) == "000"}),
        code);
}

// The short account a list of scenarios shows for each one against the first.
TEST(DifferencesSummary, SaysWhatTheSecondScenarioIsInAFewWords) {
    const struct {
        const char* name;
        std::function<void(Scenario&)> change;
        const char* summary;
    } rows[] = {
        {"nothing", [](Scenario&) {}, ""},
        {"another state and year",
         [](Scenario& sc) {
             sc.region_list.clear();
             add_region(sc, "32000", "*****", "Nevada", "NV");
             sc.episode_year = "2030";
             sc.run_files[rf::output_data] = "/m/outputs/nv2030.out";
             sc.pop_files.add(std::make_shared<AllocCls>(AllocCls{"Population File :", "NV.POP"}),
                              "NV.POP");
         },
         "region: NV; year 2030"},
        {"a county less",
         [](Scenario& sc) {
             sc.region_list.clear();
             add_region(sc, "06000", "*****", "California", "CA");
         },
         "region: -Clark County NV"},
        {"options and sources",
         [](Scenario& sc) {
             sc.fulrvpstr = "7.8";
             sc.source_subset = true;
             sc.source_list = {{"2270002000", "Construction"}, {}};
         },
         "Fuel RVP for gas 7.8; sources"},
    };
    Scenario first;
    first.fulrvpstr = "8.0";
    first.episode_year = "2025";
    add_region(first, "06000", "*****", "California", "CA");
    add_region(first, "32003", "Clark County", "Nevada", "NV");
    for (const auto& r : rows) {
        Scenario other = first;
        other.region_list = RegionList{};
        other.region_list.copy_from(first.region_list);
        r.change(other);
        const auto diffs = compare_scenarios({first, "/m", ""}, {other, "/m", ""});
        EXPECT_EQ(differences_summary(diffs), r.summary) << r.name;
    }
}

}  // namespace
}  // namespace qv
