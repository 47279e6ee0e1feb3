#pragma once

#include <optional>
#include <string>

namespace qv {

// Content hashes of files, for the run records.
class Hasher {
  public:
    virtual ~Hasher() = default;
    // SHA-256 of the file at a host path, as 64 lower-case hex digits; nullopt when the file
    // cannot be read. Reads the file in pieces, so any size can be hashed. Safe to call from
    // several threads at once.
    virtual std::optional<std::string> sha256_file(const std::string& host_path) const = 0;
};

}  // namespace qv
