#include "scenario/line_io.h"

#include <algorithm>
#include <cstring>

#include "platform/app_error.h"

namespace qv {

namespace {

// The position of the first `c` in `bytes` from `from` on; bytes.size() when there is none.
std::size_t next_of(const std::string& bytes, char c, std::size_t from) {
    const void* at = std::memchr(bytes.data() + from, c, bytes.size() - from);
    return at ? static_cast<std::size_t>(static_cast<const char*>(at) - bytes.data())
              : bytes.size();
}

}  // namespace

const std::string& LineReader::read() {
    if (eof())
        throw past_end_error();
    put_back_ = closed_ = false;
    line_start_ = pos_;
    const std::size_t size = bytes_.size();
    if (cr_ == std::string::npos || cr_ < pos_)
        cr_ = next_of(bytes_, '\r', pos_);
    if (lf_ == std::string::npos || lf_ < pos_)
        lf_ = next_of(bytes_, '\n', pos_);
    const std::size_t end = std::min(cr_, lf_);
    if (end == size) {
        line_.assign(bytes_, pos_, std::string::npos);
        pos_ = size;
        return line_;
    }
    line_.assign(bytes_, pos_, end - pos_);
    pos_ = end + 1;
    if (bytes_[end] == '\r' && pos_ < size && bytes_[pos_] == '\n')
        ++pos_;
    return line_;
}

void LineReader::unread() {
    pos_ = line_start_;
    put_back_ = true;
}

std::vector<std::string> split_lines(std::string bytes) {
    LineReader r(std::move(bytes));
    std::vector<std::string> lines;
    while (!r.eof())
        lines.push_back(r.read());
    return lines;
}

}  // namespace qv
