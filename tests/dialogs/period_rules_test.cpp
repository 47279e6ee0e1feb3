#include <gtest/gtest.h>

#include "scenario/period_rules.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

TEST(YearOk, RangeAndNumberChecksWithTheirMessages) {
    const struct {
        const char* text;
        bool allow_blank;
        const char* message;  // nullptr: accepted
    } rows[] = {
        {"1970", false, nullptr},
        {"2050", false, nullptr},
        {" 2020 ", false, nullptr},
        {"2050.5", false, nullptr},  // a half goes to the even year
        {"1969.5", false, nullptr},
        {"2e3", false, nullptr},
        {"1969", false, "Episode year 1969 is outside allowed range 1970-2050."},
        {"2051", false, "Episode year 2051 is outside allowed range 1970-2050."},
        {"2051.5", false, "Episode year 2052 is outside allowed range 1970-2050."},
        {"1968.5", false, "Episode year 1968 is outside allowed range 1970-2050."},
        {"-2020", false, "Episode year -2020 is outside allowed range 1970-2050."},
        // Beyond any 16-bit number: refused like any other year outside the range.
        {"99999", false, "Episode year 99999 is outside allowed range 1970-2050."},
        {"40000.4", false, "Episode year 40000 is outside allowed range 1970-2050."},
        {"", true, nullptr},
        {"   ", true, nullptr},
        {"", false, "Episode year must be numeric and in the range 1970-2050."},
        {"20x0", true, "Episode year must be numeric and in the range 1970-2050."},
        {"year", false, "Episode year must be numeric and in the range 1970-2050."},
    };
    for (const auto& r : rows) {
        Workspace w;
        EXPECT_EQ(yearok(w.s, r.text, "Episode", r.allow_blank), r.message == nullptr)
            << "[" << r.text << "]";
        if (r.message) {
            ASSERT_EQ(w.ui.calls().size(), 1u) << r.text;
            EXPECT_EQ(w.ui.calls()[0].text, r.message);
            EXPECT_EQ(w.ui.calls()[0].title, std::nullopt);
        } else {
            EXPECT_TRUE(w.ui.calls().empty()) << r.text;
        }
    }
}

}  // namespace
}  // namespace qv::test
