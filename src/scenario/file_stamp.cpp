#include "scenario/file_stamp.h"

namespace qv {

namespace {

// 64-bit FNV-1a: the bytes decide, whatever the time stamps say.
std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

}  // namespace

FileStamp make_stamp(std::string path, std::string_view bytes, const FileFacts& facts) {
    return FileStamp{std::move(path), facts.size, facts.mtime, facts.mtime_ns, fnv1a(bytes)};
}

}  // namespace qv
