#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"

namespace qv {

// The run log region.txt: one line per event, flushed at once. Lines are also kept in memory
// (qvopt reports them). Writes after close() are skipped.
class RunLog {
  public:
    // Creates or truncates the file; AppError when it cannot.
    void open(FileSystem& fs, const std::string& path);
    void write(std::string_view line);
    void close();
    bool is_open() const { return sink_ != nullptr || in_memory_; }
    // Keeps lines in memory only (no file), as qvopt and tests do.
    void open_in_memory() { in_memory_ = true; }
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    std::unique_ptr<LineSink> sink_;
    bool in_memory_ = false;
    std::vector<std::string> lines_;
};

}  // namespace qv
