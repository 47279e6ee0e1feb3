#include "scenario/line_io.h"

#include "platform/app_error.h"

namespace qv {

const std::string& LineReader::read() {
    if (eof())
        throw past_end_error();
    put_back_ = closed_ = false;
    line_start_ = pos_;
    // A plain scan: find_first_of tests every byte against the set with a call of its own.
    const std::size_t size = bytes_.size();
    std::size_t end = pos_;
    while (end < size && bytes_[end] != '\r' && bytes_[end] != '\n')
        ++end;
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
