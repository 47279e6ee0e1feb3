#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/reference/access_text.h"

namespace qv::reference {
namespace {

struct LikeCase {
    const char* pattern;
    const char* value;
    bool match;
};

class LikePatternTest : public ::testing::TestWithParam<LikeCase> {};

TEST_P(LikePatternTest, MatchesAsAccessDoes) {
    const LikeCase& c = GetParam();
    EXPECT_EQ(LikePattern(c.pattern).matches(c.value), c.match) << c.pattern << " ~ " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Wildcards, LikePatternTest,
    ::testing::Values(
        // "#": one digit only
        LikeCase{"06###", "06037", true}, LikeCase{"06###", "0603", false},
        LikeCase{"06###", "060370", false}, LikeCase{"06###", "06A37", false},
        // "?": exactly one character, counted in characters not bytes
        LikeCase{"a?c", "abc", true}, LikeCase{"a?c", "ac", false}, LikeCase{"a?c", "aäc", true},
        // "*": any run, including none, anywhere in the pattern
        LikeCase{"The State*", "The State of Ohio", true},
        LikeCase{"The State*", "The State", true}, LikeCase{"The State*", "Then State", false},
        LikeCase{"*County", "Kern County", true}, LikeCase{"*o*o*", "Colorado", true},
        LikeCase{"a*b*c", "axxbyybc", true}, LikeCase{"a*b*c", "axxbyy", false},
        // ranges, sets and their negations
        LikeCase{"[0-1][0-5]0##", "1500", false}, LikeCase{"[0-1][0-5]0##", "05010", true},
        LikeCase{"0[3-8]015", "04015", true}, LikeCase{"0[3-8]015", "02015", false},
        LikeCase{"##[!8]##", "22700", true}, LikeCase{"##[!8]##", "22820", false},
        LikeCase{"##[!7-8]##", "22650", true}, LikeCase{"##[!7-8]##", "22700", false},
        LikeCase{"##[!7-8]##", "22850", false}, LikeCase{"[abc]x", "bx", true},
        LikeCase{"[abc]x", "dx", false}, LikeCase{"[*]", "*", true}, LikeCase{"[*]", "a", false},
        LikeCase{"[#]1", "#1", true},
        // letter case is ignored, also outside ASCII and inside ranges
        LikeCase{"the state*", "THE STATE OF IOWA", true}, LikeCase{"UMSÄTZE", "umsätze", true},
        LikeCase{"[a-c]", "B", true}, LikeCase{"[A-C]", "b", true},
        // other characters stand for themselves
        LikeCase{"a.c", "abc", false}, LikeCase{"100%", "100%", true},
        LikeCase{"a_c", "abc", false}, LikeCase{"", "", true}, LikeCase{"", "x", false}));

TEST(LikePatternTest, RefusesAnOpenBracket) {
    EXPECT_THROW(LikePattern("06[0-1"), std::invalid_argument);
    EXPECT_THROW(LikePattern("[9-0]"), std::invalid_argument);
}

// A folded key is the text with letter case folded, ASCII or not, wherever the first other
// byte stands; texts that compare equal have the same key.
TEST(AccessTextTest, FoldedKeysFoldEveryLetter) {
    const struct {
        std::string text, key;
    } rows[] = {
        {"", ""},
        {"AbC-09 z", "abc-09 z"},
        {"CONSTITUCI\xC3\x93N", "constituci\xC3\xB3n"},
        {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"},
        {"Q\xC3\x89", "q\xC3\xA9"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(folded_key(r.text), r.key) << r.text;
        EXPECT_EQ(compare_folded(r.text, r.key), 0) << r.text;
    }
    EXPECT_EQ(folded_key("\xC9T\xE9"), folded_key("\xC9t\xE9"));
}

TEST(AccessTextTest, ComparesWithoutLetterCase) {
    EXPECT_EQ(compare_folded("Los Angeles", "LOS ANGELES"), 0);
    EXPECT_EQ(compare_folded("Constitución", "CONSTITUCIÓN"), 0);
    EXPECT_LT(compare_folded("abc", "ABD"), 0);
    EXPECT_GT(compare_folded("abcd", "ABC"), 0);
    // Bytes that are not UTF-8 still compare, each as one character.
    EXPECT_EQ(compare_folded("\xC9t\xE9", "\xC9t\xE9"), 0);
    EXPECT_NE(compare_folded("\xE9", "e"), 0);
    // Texts that start alike, in bytes, then part: in an ASCII character, in the last byte of a
    // two-byte one, or where one has a two-byte character and the other a byte that is none.
    const struct {
        const char* a;
        const char* b;
        int sign;
    } rows[] = {
        {"06037", "06037", 0},
        {"06037", "06038", -1},
        {"0603", "06037", -1},
        {"06037x", "06037", 1},
        {"ab\xC3\x89", "AB\xC3\xA9", 0},
        {"ab\xC3\x89z", "ab\xC3\xA9Z", 0},
        {"a\xC3z", "a\xC3\xA9", -1},
        {"\xC3\xA9"
         "a",
         "\xC3\xA9"
         "B",
         -1},
    };
    for (const auto& r : rows) {
        const int got = compare_folded(r.a, r.b);
        EXPECT_EQ((got > 0) - (got < 0), r.sign) << r.a << " / " << r.b;
    }
}

}  // namespace
}  // namespace qv::reference
