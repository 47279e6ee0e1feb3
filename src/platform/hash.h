#pragma once

#include <functional>
#include <string>

namespace qv {

// Why a file has no content hash: it is a FIFO, a device or a socket, which are never read.
inline constexpr const char* not_regular_file = "not a regular file";

// What hashing a file gave.
struct FileDigest {
    std::string sha256;   // 64 lower-case hex digits; empty when the file was not hashed
    std::string refusal;  // when it was not: not_regular_file, "stopped", or "cannot be read: ..."
};

// Content hashes of files, for the run records.
class Hasher {
  public:
    // Asked between the pieces of a file; true stops the hashing.
    using StopCheck = std::function<bool()>;

    virtual ~Hasher() = default;
    // SHA-256 of the regular file at a host path. Anything else is refused without being opened
    // for long or read: a FIFO would wait for a writer and a device may never end. Reads the
    // file in pieces, so any size can be hashed, and asks `stop` between them. Safe to call from
    // several threads at once.
    virtual FileDigest sha256_file(const std::string& host_path,
                                   const StopCheck& stop = {}) const = 0;
};

}  // namespace qv
