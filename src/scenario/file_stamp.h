#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fs.h"

namespace qv {

// What an options file was when the scenario was read from it (or last saved into it). A save
// merges the scenario into the file as it is on disk; when another program has changed the file
// meanwhile, that merge would silently drop the other program's change.
struct FileStamp {
    std::string path;  // the options file, as option_file_dir and option_file_name name it
    std::uint64_t size = 0;
    std::int64_t mtime = 0, mtime_ns = 0;
    std::uint64_t hash = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp make_stamp(std::string path, std::string_view bytes, const FileFacts& facts);

}  // namespace qv
