#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::runs {

// Output lines longer than this are passed on in pieces of this length.
constexpr std::size_t max_line_bytes = 64 * 1024;
// How many of the last output lines RunFacts::console_tail keeps.
constexpr std::size_t tail_lines_kept = 50;

// Splits output into lines as it arrives, without their line ends (LF, or CR LF), cutting a line
// at max_line_bytes.
class LineSplitter {
  public:
    explicit LineSplitter(std::function<void(std::string_view)> on_line)
        : emit_(std::move(on_line)) {}

    void feed(std::string_view data);
    // Forgets a partial line: the next portion starts at the beginning of a line.
    void restart() { pending_.clear(); }
    // The last line, when the output did not end with a line end.
    void finish();

  private:
    void line(std::string_view tail);

    std::function<void(std::string_view)> emit_;
    std::string pending_;
};

// Reads up to SIZE bytes of the output from OFFSET into DATA; returns how many it read.
using OutputReader = std::function<std::size_t(std::uint64_t offset, char* data, std::size_t size)>;

// Where the last lines of a growing output end, followed as it grows without reading all of
// it: of each new part only as much is read back, from its end, as holds its last lines.
class LineEnds {
  public:
    // The output has grown to TOTAL bytes, which READ gives.
    void grew(std::uint64_t total, const OutputReader& read);
    std::uint64_t total() const { return total_; }
    // The positions of the last tail_lines_kept + 1 line ends (all of them when there are
    // fewer), the earliest first.
    const std::deque<std::uint64_t>& last() const { return last_; }

  private:
    std::uint64_t total_ = 0;
    std::deque<std::uint64_t> last_;
    std::string block_;
};

// The last tail_lines_kept lines that a LineSplitter fed the whole output would give, read back
// from its end.
std::vector<std::string> last_lines(const LineEnds& ends, const OutputReader& read);

}  // namespace qv::runs
