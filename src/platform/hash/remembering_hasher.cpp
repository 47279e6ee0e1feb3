#include "platform/hash/remembering_hasher.h"

#include <sys/stat.h>
#include <time.h>

#include <optional>

namespace qv {

namespace {

long long ns_of(const timespec& t) {
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

long long now_ns() {
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return ns_of(t);
}

}  // namespace

FileDigest RememberingHasher::sha256_file(const std::string& host_path,
                                          const StopCheck& stop) const {
    // Only a regular file is kept; anything else goes to the hasher, which says why it is not
    // hashed.
    auto identity = [&]() -> std::optional<Identity> {
        struct stat st {};
        if (::stat(host_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        return Identity{st.st_dev, st.st_ino, st.st_size, ns_of(st.st_mtim), ns_of(st.st_ctim)};
    };
    const long long began = now_ns();
    const std::optional<Identity> before = identity();
    if (before) {
        std::lock_guard lock(mutex_);
        if (auto it = sums_.find(*before); it != sums_.end())
            return {it->second, {}};
    }
    FileDigest digest = hasher_.sha256_file(host_path, stop);
    // Kept only when the file was the same before and after it was read, and settled.
    if (before && !digest.sha256.empty() && std::get<4>(*before) + settled_.count() <= began &&
        identity() == before) {
        std::lock_guard lock(mutex_);
        sums_.emplace(*before, digest.sha256);
    }
    return digest;
}

}  // namespace qv
