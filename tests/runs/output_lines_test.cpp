#include "runs/output_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace qv::runs {
namespace {

// The last lines as a splitter fed all of TEXT gives them.
std::vector<std::string> split_whole(const std::string& text) {
    std::vector<std::string> lines;
    LineSplitter splitter([&](std::string_view line) { lines.emplace_back(line); });
    splitter.feed(text);
    splitter.finish();
    if (lines.size() > tail_lines_kept)
        lines.erase(lines.begin(), lines.end() - tail_lines_kept);
    return lines;
}

// The same found from the end: the line ends followed as TEXT grows in steps of STEP bytes,
// then the last lines read back; also how many bytes were read to find them.
std::vector<std::string> from_the_end(const std::string& text, std::size_t step,
                                      std::size_t& bytes_read) {
    bytes_read = 0;
    const OutputReader read = [&](std::uint64_t offset, char* data, std::size_t size) {
        const std::size_t n = offset < text.size() ? std::min(size, text.size() - offset) : 0;
        std::memcpy(data, text.data() + offset, n);
        bytes_read += n;
        return n;
    };
    LineEnds ends;
    for (std::size_t total = std::min(step, text.size());;
         total = std::min(total + step, text.size())) {
        ends.grew(total, read);
        if (total == text.size())
            break;
    }
    return last_lines(ends, read);
}

std::string repeat(char c, std::size_t n) {
    return std::string(n, c);
}

TEST(LastLines, FromTheEndTheyAreTheLinesOfTheWholeOutput) {
    const std::size_t piece = max_line_bytes;
    std::string many;
    for (int i = 0; i < 3000; ++i)
        many += std::to_string(i) + (i % 7 ? "\n" : "\r\n");
    std::string few_long;  // fewer lines than kept, some longer than a piece
    for (int i = 0; i < 20; ++i)
        few_long += repeat('a' + i % 26, (i * 37'000) % 200'000) + "\n";
    std::string long_among_short = many + repeat('y', 5 * piece + 3) + "\n" + "a\nb\nc\n";
    // The last lines begin inside a long line that follows many short ones.
    std::string ending_in_a_long_line = many + repeat('w', 5 * piece + 3) + "\n";
    for (int i = 0; i < 49; ++i)
        ending_in_a_long_line += "s\n";
    const struct {
        const char* name;
        std::string text;
    } rows[] = {
        {"nothing", ""},
        {"one line", "a\n"},
        {"no line end at all", "abc"},
        {"an empty last line", "a\n\n"},
        {"CR LF endings", "a\r\nb\r\n"},
        {"a CR alone at the end", "a\r"},
        {"many short lines, the last unended", many + "last"},
        {"a line of exactly a piece", repeat('x', piece) + "\n"},
        {"a piece and one byte", repeat('x', piece + 1) + "\n"},
        {"a CR where a piece ends", repeat('x', piece - 1) + "\r\n"},
        {"one long line, unended", repeat('x', 100 * piece + 123)},
        {"one long line of whole pieces, unended", repeat('x', 60 * piece)},
        {"a long line after many short ones", many + repeat('z', 70 * piece + 5)},
        {"a long line among short ones", long_among_short},
        {"few long lines", few_long},
        {"the last lines begin in a long line", ending_in_a_long_line},
    };
    for (const auto& row : rows) {
        const auto expected = split_whole(row.text);
        for (std::size_t step : {std::size_t{1} << 20, std::size_t{4096}, std::size_t{777}}) {
            if (row.text.size() / step > 5000)
                continue;
            std::size_t bytes_read = 0;
            EXPECT_EQ(from_the_end(row.text, step, bytes_read), expected)
                << row.name << ", grown in steps of " << step;
        }
    }
}

TEST(LastLines, ShortLinesAreFoundWithoutReadingAllTheOutput) {
    std::string text;
    for (int i = 0; i < 200'000; ++i)
        text += "line " + std::to_string(i) + "\n";
    std::size_t bytes_read = 0;
    const auto lines = from_the_end(text, 1 << 20, bytes_read);
    ASSERT_EQ(lines.size(), tail_lines_kept);
    EXPECT_EQ(lines.back(), "line 199999");
    EXPECT_LT(bytes_read, text.size() / 4);
}

}  // namespace
}  // namespace qv::runs
