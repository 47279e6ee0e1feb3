#include "runs/variants.h"

#include <gtest/gtest.h>

namespace qv::runs {
namespace {

Dimension tags(std::initializer_list<std::pair<const char*, const char*>> list) {
    Dimension d;
    for (const auto& [tag, short_tag] : list)
        d.push_back({tag, short_tag, std::string("value ") + tag, nullptr, tag});
    return d;
}

std::vector<std::string> bases(const std::vector<Variant>& variants) {
    std::vector<std::string> out;
    for (const auto& v : variants)
        out.push_back(v.base);
    return out;
}

TEST(Variants, NamesAreReadableUniqueAndAtMostEightCharacters) {
    const Dimension states = tags({{"NV", "NV"}, {"OR", "OR"}});
    const Dimension years = tags({{"2020", "20"}, {"2030", "30"}});
    const Dimension counties = tags({{"32003", "32003"}, {"32005", "32005"}});
    const Dimension titles = tags({{"low.grade", "low"}, {"lower", "low"}});
    struct Case {
        const char* name;
        std::vector<Dimension> dims;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {"state and year", {states, years}, {"NV2020", "NV2030", "OR2020", "OR2030"}},
        {"county and year: short years",
         {counties, years},
         {"3200320", "3200330", "3200520", "3200530"}},
        {"odd characters dropped", {titles}, {"LOWGRADE", "LOWER"}},
        {"too long and clashing: numbered",
         {states, years, titles},
         {"NV20LOW1", "NV20LOW2", "NV30LOW3", "NV30LOW4", "OR20LOW5", "OR20LOW6", "OR30LOW7",
          "OR30LOW8"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto variants = combine(c.dims);
        EXPECT_EQ(bases(variants), c.want);
    }
}

TEST(Variants, CommentsSayWhatEachVaries) {
    const auto v = combine({tags({{"NV", "NV"}}), tags({{"2020", "20"}})});
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].comment, "value NV, value 2020");
    EXPECT_EQ(v[0].choices.size(), 2u);
}

TEST(Variants, NoDimensionOrAnEmptyOneGivesNothing) {
    EXPECT_TRUE(combine({}).empty());
    EXPECT_TRUE(combine({tags({{"NV", "NV"}}), Dimension{}}).empty());
}

}  // namespace
}  // namespace qv::runs
