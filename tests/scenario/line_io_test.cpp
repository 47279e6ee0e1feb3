#include "scenario/line_io.h"

#include <gtest/gtest.h>

#include "platform/app_error.h"

namespace qv {
namespace {

// The lines of `bytes` as LineReader reads them, each between brackets.
std::string read_all(const std::string& bytes) {
    LineReader in(bytes);
    std::string out;
    while (!in.eof())
        out += "[" + in.read() + "]";
    return out;
}

TEST(LineReader, EndsLinesAtCrLfLfAndCrAlike) {
    struct Row {
        std::string bytes;
        std::string lines;
    } rows[] = {
        {"", ""},
        {"a", "[a]"},
        {"a\r\nb\r\n", "[a][b]"},
        {"a\nb\n", "[a][b]"},
        {"a\rb\r", "[a][b]"},
        {"a\r\nb", "[a][b]"},
        {"a\r", "[a]"},
        {"\r", "[]"},
        {"\n", "[]"},
        {"\r\n", "[]"},
        {"\r\n\r\n", "[][]"},
        {"\n\r", "[][]"},
        {"a\n\rb", "[a][][b]"},
        {"a\r\r\nb", "[a][][b]"},
        {"a\n\nb\r\rc", "[a][][b][][c]"},
        {"a\rb\nc\r\nd\n\re\r\n\nf", "[a][b][c][d][][e][][f]"},
        {"  x : y \r\n\t\r\n", "[  x : y ][\t]"},
        {std::string("a\0b\r\nc", 6), std::string("[a\0b][c]", 8)},
    };
    for (const Row& r : rows)
        EXPECT_EQ(read_all(r.bytes), r.lines) << ::testing::PrintToString(r.bytes);
    EXPECT_EQ(split_lines("a\rb\r\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
}

TEST(LineReader, PutsBackTheLineReadLastAndFailsPastTheEnd) {
    LineReader in("one\r\ntwo\rthree");
    EXPECT_EQ(in.read(), "one");
    EXPECT_EQ(in.read(), "two");
    in.unread();
    EXPECT_TRUE(in.put_back());
    EXPECT_EQ(in.read(), "two");
    EXPECT_FALSE(in.put_back());
    EXPECT_EQ(in.read(), "three");
    EXPECT_TRUE(in.eof());
    in.unread();
    EXPECT_EQ(in.read(), "three");
    EXPECT_THROW(in.read(), AppError);
    EXPECT_EQ(in.take_bytes(), "one\r\ntwo\rthree");
    EXPECT_TRUE(in.eof());
    // Every line read twice, the second time after putting it back, whatever ends it.
    LineReader mixed("a\rbb\ncc\r\n\n\rd");
    std::string twice;
    while (!mixed.eof()) {
        twice += "[" + mixed.read() + "]";
        mixed.unread();
        twice += mixed.read() + "|";
    }
    EXPECT_EQ(twice, "[a]a|[bb]bb|[cc]cc|[]|[]|[d]d|");
}

}  // namespace
}  // namespace qv
