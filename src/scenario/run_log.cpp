#include "scenario/run_log.h"

namespace qv {

void RunLog::open(FileSystem& fs, const std::string& path) {
    sink_ = fs.create_line_file(path);
    in_memory_ = false;
}

void RunLog::write(std::string_view line) {
    if (!is_open())
        return;
    lines_.emplace_back(line);
    if (sink_)
        sink_->write_line(line);
}

void RunLog::close() {
    sink_.reset();
    in_memory_ = false;
}

}  // namespace qv
