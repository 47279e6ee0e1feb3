#include "runs/output_lines.h"

#include <algorithm>
#include <cstring>

namespace qv::runs {

void LineSplitter::feed(std::string_view data) {
    while (!data.empty()) {
        const std::size_t room = max_line_bytes - pending_.size();
        const std::size_t nl = data.substr(0, room).find('\n');
        if (nl != std::string_view::npos) {
            line(data.substr(0, nl));
            data.remove_prefix(nl + 1);
        } else if (data.size() >= room) {
            line(data.substr(0, room));
            data.remove_prefix(room);
        } else {
            pending_.append(data);
            return;
        }
    }
}

void LineSplitter::finish() {
    if (!pending_.empty())
        line({});
}

void LineSplitter::line(std::string_view tail) {
    std::string_view text = tail;
    if (!pending_.empty()) {
        pending_.append(tail);
        text = pending_;
    }
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    emit_(text);
    pending_.clear();
}

void LineEnds::grew(std::uint64_t total, const OutputReader& read) {
    constexpr std::size_t block_bytes = 64 * 1024;
    constexpr std::size_t wanted = tail_lines_kept + 1;
    // The new part's line ends, found backwards from its end: its last ones are enough.
    std::vector<std::uint64_t> found;
    for (std::uint64_t at = total; at > total_ && found.size() < wanted;) {
        const std::uint64_t from =
            std::max<std::uint64_t>(total_, at > block_bytes ? at - block_bytes : 0);
        block_.resize(block_bytes);
        const std::size_t got = read(from, block_.data(), static_cast<std::size_t>(at - from));
        if (got < at - from)
            break;
        for (std::size_t end = got; end > 0 && found.size() < wanted;) {
            const void* hit = ::memrchr(block_.data(), '\n', end);
            if (!hit)
                break;
            end = static_cast<std::size_t>(static_cast<const char*>(hit) - block_.data());
            found.push_back(from + end);
        }
        at = from;
    }
    last_.insert(last_.end(), found.rbegin(), found.rend());
    while (last_.size() > wanted)
        last_.pop_front();
    total_ = total;
}

std::vector<std::string> last_lines(const LineEnds& ends, const OutputReader& read) {
    constexpr std::uint64_t piece = max_line_bytes;
    // The splitter cuts a line of L bytes into L / piece whole pieces and a last one (which is
    // empty when L is a multiple of the piece); the unended line after the last line end gives
    // only the pieces it has bytes for. So walking back over the line ends counts the pieces,
    // and the walk stops at the line in which the last tail_lines_kept pieces begin.
    const std::deque<std::uint64_t>& line_ends = ends.last();
    std::uint64_t from = 0;  // where the splitter starts: a line's start, or a piece's in it
    std::uint64_t line_end = ends.total();
    std::size_t pieces = 0;
    for (std::size_t i = line_ends.size();; --i) {
        const bool ended = i < line_ends.size();
        const std::uint64_t line_start = i > 0 ? line_ends[i - 1] + 1 : 0;
        const std::uint64_t length = line_end - line_start;
        const std::uint64_t of_line = ended ? length / piece + 1 : (length + piece - 1) / piece;
        if (pieces + of_line >= tail_lines_kept) {
            from = line_start + (of_line - (tail_lines_kept - pieces)) * piece;
            break;
        }
        pieces += static_cast<std::size_t>(of_line);
        if (i == 0)
            break;
        line_end = line_ends[i - 1];
    }

    std::vector<std::string> lines;
    LineSplitter splitter([&](std::string_view line) { lines.emplace_back(line); });
    std::string portion;
    for (std::uint64_t at = from; at < ends.total();) {
        portion.resize(static_cast<std::size_t>(std::min<std::uint64_t>(ends.total() - at, piece)));
        const std::size_t got = read(at, portion.data(), portion.size());
        if (got == 0)
            break;
        splitter.feed(std::string_view(portion).substr(0, got));
        at += got;
    }
    splitter.finish();
    if (lines.size() > tail_lines_kept)
        lines.erase(lines.begin(), lines.end() - tail_lines_kept);
    return lines;
}

}  // namespace qv::runs
