#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/hash.h"

namespace qv {

// A hasher that hashes each file once while the file stays as it was: what one command finds
// for the files that thousands of its runs share (the model, the reference database, the data
// files). A hash is kept under the file's whole identity (device, inode, size, and the change
// and status-change times in nanoseconds) and given again only while every one of those is
// unchanged; a file that moved in any of them is hashed again. Safe to call from several
// threads at once.
class RememberingHasher final : public Hasher {
  public:
    // A file whose status changed less than SETTLED before its hashing began is hashed every
    // time: its times come from a coarse clock, so a write in the same tick as the one before
    // would leave its identity as it was.
    explicit RememberingHasher(const Hasher& hasher,
                               std::chrono::nanoseconds settled = std::chrono::seconds(2))
        : hasher_(hasher), settled_(settled) {}

    FileDigest sha256_file(const std::string& host_path, const StopCheck& stop = {}) const override;

  private:
    // device, inode, size, mtime ns, ctime ns
    using Identity = std::tuple<dev_t, ino_t, off_t, long long, long long>;

    const Hasher& hasher_;
    const std::chrono::nanoseconds settled_;
    mutable std::mutex mutex_;
    mutable std::map<Identity, std::string> sums_;
};

}  // namespace qv
