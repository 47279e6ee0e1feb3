#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "region_sources_fixture.h"
#include "scenario/alloc_names.h"
#include "scenario/region_rules.h"

namespace qv::test {
namespace {

std::shared_ptr<RegionCls> state_entry(const std::string& code, const std::string& name,
                                       const std::string& abbr) {
    return std::make_shared<RegionCls>(RegionCls{code + "000", "", name, abbr, true});
}
std::shared_ptr<RegionCls> county_entry(const std::string& code, const std::string& name,
                                        const std::string& abbr) {
    return std::make_shared<RegionCls>(RegionCls{code, name, "", abbr, false});
}
RegionList selection_of(std::initializer_list<std::shared_ptr<RegionCls>> entries) {
    RegionList list;
    for (const auto& e : entries)
        list.add(e, e->code);
    return list;
}
std::vector<std::string> codes_of(const RegionList& list) {
    std::vector<std::string> r;
    for (const auto& e : list)
        r.push_back(e->code);
    return r;
}
std::vector<std::pair<std::string, std::string>> files_of(const AllocList& list) {
    std::vector<std::pair<std::string, std::string>> r;
    for (const auto& e : list)
        r.emplace_back(e->descriptor, e->allocfile);
    return r;
}

TEST(AllocNames, TablesKeepTheirFieldsAndTheRailMisalignment) {
    for (int n = alloc_name_first; n <= alloc_name_last; ++n) {
        EXPECT_EQ(alloc_descriptor(n).size(), 20u) << n;
        EXPECT_EQ(alloc_descriptor(n).back(), ':') << n;
    }
    EXPECT_EQ(alloc_filename(1), "_airtr.alo");
    EXPECT_EQ(alloc_descriptor(12), "Census population  :");
    EXPECT_EQ(alloc_filename(12), "_pop.alo");
    EXPECT_EQ(alloc_descriptor(11), "Oil & gas employees:");
    EXPECT_EQ(alloc_filename(19), " ");
    EXPECT_EQ(alloc_descriptor(19), "Locomotive NOx     :");
    EXPECT_EQ(alloc_filename(20), "_rail.alo ");
    EXPECT_EQ(alloc_descriptor(20), " ");
    EXPECT_EQ(alloc_filename(0), " ");
    EXPECT_THROW(alloc_filename(21), AppError);
    EXPECT_THROW(alloc_descriptor(-1), AppError);
}

TEST(AllocationDescriptor, FollowsTheSurrogateEndingOfTheStateFile) {
    struct Row {
        const char* prefix;
        const char* file;
        const char* descriptor;
    } rows[] = {
        {"CA", "ca_pop.alo", "Census population  :"},
        {"CA", "CA_CONST.ALO", "Construction cost  :"},
        {"NV", "nv_wob.alo", "Rec marine outboard:"},
        {"CA", "ca_rail.alo", "Allocation File    :"},  // the rail entry is out of step
        {"CA", "capop.alo", "Allocation File    :"},
        {"US", "ca_pop.alo", "Allocation File    :"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(allocation_descriptor(r.prefix, r.file), r.descriptor) << r.file;
}

TEST(Regsel, LinesByLevelAndDistinctStates) {
    RegionList sel = selection_of({state_entry("06", "California", "CA"),
                                   county_entry("32003", "Clark County", "NV"),
                                   county_entry("32031", "Washoe County", "NV")});
    struct Row {
        int level;
        std::vector<std::string> lines;
    } rows[] = {
        {level::state, {"California", "Clark County NV", "Washoe County NV"}},
        {level::county, {"All of California", "Clark County NV", "Washoe County NV"}},
        {level::fifty_state, {"Clark County NV", "Washoe County NV"}},
        {level::us_total, {"Clark County NV", "Washoe County NV"}},
    };
    for (const Row& r : rows) {
        RegselResult result = regsel(sel, r.level);
        std::vector<std::string> texts;
        for (const auto& l : result.lines)
            texts.push_back(l.text);
        EXPECT_EQ(texts, r.lines) << r.level;
        EXPECT_EQ(result.states, (std::vector<std::string>{"CA", "NV"}));
    }
    // Each line carries the code of its own entry, also where some entries have no line.
    EXPECT_EQ(regsel(sel, level::us_total).lines[0].code, "32003");
}

TEST(RegionLevelChange, CountyToStateDropsCountiesFiftyStatesEmpties) {
    auto make = [] {
        return selection_of({county_entry("06001", "Alameda County", "CA"),
                             state_entry("41", "Oregon", "OR"),
                             county_entry("32003", "Clark County", "NV")});
    };
    struct Row {
        int from, to;
        std::vector<std::string> codes;
    } rows[] = {
        {level::county, level::state, {"41000"}},
        {level::state, level::county, {"06001", "41000", "32003"}},
        {level::county, level::fifty_state, {}},
        {level::county, level::us_total, {"06001", "41000", "32003"}},
        {level::us_total, level::state, {"06001", "41000", "32003"}},
    };
    for (const Row& r : rows) {
        RegionList sel = make();
        region_level_change(sel, r.from, r.to);
        EXPECT_EQ(codes_of(sel), r.codes) << r.from << "->" << r.to;
    }
}

class RegionRules : public DemoDbTest {};

TEST_F(RegionRules, PopAllocListsTheStateFilesWithDescriptors) {
    touch("model/data/ALLOCATE/CA_CONST.ALO");
    touch("model/data/ALLOCATE/ca_rail.alo");
    touch("model/data/ALLOCATE/us_pop.alo");
    touch("model/data/ALLOCATE/ca_notes.txt");
    touch("model/data/POP/us.pop");
    touch("model/data/POP/ca_old.pop");
    s.sc.selected_regions = selection_of({county_entry("06001", "Alameda County", "CA"),
                                          state_entry("32", "Nevada", "NV"),
                                          county_entry("06003", "Alpine County", "CA")});
    s.sc.alloc_files_changed = s.sc.pop_files_changed = false;
    pop_alloc(s, level::county);
    const std::string a = s.settings.data_dir + "/ALLOCATE/", p = s.settings.data_dir + "/POP/";
    using Files = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(files_of(s.sc.alloc_files), (Files{{"Construction cost  :", a + "CA_CONST.ALO"},
                                                 {"Census population  :", a + "ca_pop.alo"},
                                                 {"Allocation File    :", a + "ca_rail.alo"},
                                                 {"Census population  :", a + "nv_pop.alo"}}));
    EXPECT_EQ(files_of(s.sc.pop_files), (Files{{"Population File    : ", p + "ca.pop"},
                                               {"Population File    : ", p + "nv.pop"}}));
    EXPECT_EQ(files_of(s.sc.alloc_files_work), files_of(s.sc.alloc_files));
    EXPECT_EQ(files_of(s.sc.pop_files_work), files_of(s.sc.pop_files));
    EXPECT_TRUE(s.sc.alloc_files_changed);
    EXPECT_TRUE(s.sc.pop_files_changed);
    EXPECT_TRUE(ui.messages().empty());

    // The national levels take the "US" files whatever the selection holds.
    for (int lv : {level::fifty_state, level::us_total}) {
        pop_alloc(s, lv);
        EXPECT_EQ(files_of(s.sc.alloc_files), (Files{{"Census population  :", a + "us_pop.alo"}}));
        EXPECT_EQ(files_of(s.sc.pop_files), (Files{{"Population File    : ", p + "us.pop"}}));
    }
    // With no "US" files the lists become empty.
    remove_file("model/data/ALLOCATE/us_pop.alo");
    remove_file("model/data/POP/us.pop");
    pop_alloc(s, level::us_total);
    EXPECT_TRUE(s.sc.alloc_files.empty());
    EXPECT_TRUE(s.sc.pop_files.empty());
}

TEST_F(RegionRules, CountyQueryOffersEveryCountyButNoWholeStateRow) {
    EXPECT_EQ(
        state_county_query("06"),
        "SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties WHERE((Counties.FIPS "
        "like \"06###\") AND (Counties.COUNTY not like \"The State*\"));");
    // The expected counties come from the source of the demo database.
    std::map<std::string, std::set<std::string>> expected;
    std::ifstream csv(std::string(QV_SOURCE_DIR) + "/examples/demo/reference/fips-counties.csv");
    std::string line;
    std::getline(csv, line);
    while (std::getline(csv, line)) {
        std::vector<std::string> f;
        std::size_t start = 0;
        for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos;
             start = comma + 1)
            f.push_back(line.substr(start, comma - start));
        expected[f[1]].insert(f[1] + f[2] + " " + f[3]);
    }
    for (const char* code : {"06", "48", "11"}) {
        auto state = s.state_table.find(code);
        ASSERT_TRUE(state);
        RegionCls item{std::string(code) + "000", "", state->statename, state->abbr, true};
        RegionList counties = query_state_counties(s, item);
        std::set<std::string> got;
        for (const auto& c : counties) {
            EXPECT_FALSE(c->isState);
            EXPECT_EQ(c->abbr, state->abbr);
            EXPECT_NE(c->county.rfind("The State", 0), 0u) << c->county;
            got.insert(c->code + " " + c->county);
        }
        EXPECT_EQ(got, expected[code]) << code;
        EXPECT_FALSE(ref->is_open());
    }
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(RegionRules, AddRefusesNothingAndDuplicates) {
    RegionList sel;
    auto ca = state_entry("06", "California", "CA");
    auto alameda = county_entry("06001", "Alameda County", "CA");
    EXPECT_EQ(region_add(s, sel, level::state, nullptr, false), RegionAdd::NothingSelected);
    EXPECT_EQ(region_add(s, sel, level::fifty_state, ca.get(), true), RegionAdd::Ignored);
    EXPECT_EQ(region_add(s, sel, level::county, nullptr, true), RegionAdd::NothingSelected);
    EXPECT_EQ(region_add(s, sel, level::county, ca.get(), true), RegionAdd::Added);
    EXPECT_EQ(region_add(s, sel, level::county, alameda.get(), true), RegionAdd::Added);
    EXPECT_EQ(region_add(s, sel, level::county, ca.get(), true), RegionAdd::AlreadySelected);
    EXPECT_EQ(region_add(s, sel, level::county, alameda.get(), true), RegionAdd::AlreadySelected);
    EXPECT_EQ(codes_of(sel), (std::vector<std::string>{"06000", "06001"}));
    EXPECT_EQ(ui.messages(),
              (std::vector<std::string>{"No State/County selected", "No State/County selected",
                                        "California already selected",
                                        "Alameda County CA already selected"}));
    // "No State/County selected" has no title of its own; the duplicates carry the program's.
    const std::optional<std::string> titles[] = {std::nullopt, std::nullopt, "US KQT QUARVEL MODEL",
                                                 "US KQT QUARVEL MODEL"};
    ASSERT_EQ(ui.calls().size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ui.calls()[i].title, titles[i]) << ui.calls()[i].text;
}

}  // namespace
}  // namespace qv::test
