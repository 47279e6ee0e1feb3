#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Reads the lines of a file held in memory; CR LF, LF and CR all end a line.
class LineReader {
  public:
    explicit LineReader(std::string bytes) : bytes_(std::move(bytes)) {}

    bool eof() const { return pos_ >= bytes_.size(); }
    // The next line; AppError 62 at the end of the file.
    const std::string& read();
    // Puts the line read last back, so that the next read() returns it again: a packet that
    // meets the next packet's header leaves that header to the driver.
    void unread();
    // True from unread() until the next read().
    bool put_back() const { return put_back_; }
    // Notes that the line read last closed its packet; true until the next read().
    void mark_closed() { closed_ = true; }
    bool closed() const { return closed_; }
    // The line read last (for error reports).
    const std::string& current() const { return line_; }
    // Everything the reader holds, read or not.
    const std::string& bytes() const { return bytes_; }
    // Hands over everything the reader holds; the reader is at its end afterwards.
    std::string take_bytes() {
        std::string out = std::move(bytes_);
        bytes_.clear();
        pos_ = line_start_ = 0;
        cr_ = lf_ = std::string::npos;
        return out;
    }

  private:
    std::string bytes_;
    std::size_t pos_ = 0;
    std::size_t line_start_ = 0;
    bool put_back_ = false;
    bool closed_ = false;
    std::string line_;
    // The first CR and the first LF from a position no later than the start of the line read
    // last (bytes_.size() when there is none; npos before the first look): each is looked for
    // again only once the reader has passed it, so that a file whose lines all end alike is
    // searched once for the other end.
    std::size_t cr_ = std::string::npos, lf_ = std::string::npos;
};

// Collects written lines, each ended with CR LF.
class LineWriter {
  public:
    void line(std::string_view text) {
        out_.append(text);
        out_.append("\r\n");
        last_ = text;
    }
    const std::string& bytes() const { return out_; }
    // Hands over the lines written; the writer is empty afterwards.
    std::string take() { return std::move(out_); }
    void reserve(std::size_t n) { out_.reserve(n); }
    std::size_t size() const { return out_.size(); }
    void truncate(std::size_t n) { out_.resize(n); }
    const std::string& last_line() const { return last_; }

  private:
    std::string out_;
    std::string last_;
};

// Splits bytes into lines the way LineReader reads them.
std::vector<std::string> split_lines(std::string bytes);

}  // namespace qv
