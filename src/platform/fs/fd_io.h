#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace qv {

// Writes all of BYTES to the descriptor, going on after an interrupted write; false when a
// write fails.
inline bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace qv
