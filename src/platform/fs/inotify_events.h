#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace qv::listing {

// Reads the events queued on the inotify descriptor `fd` until none is left, handing each to
// `on_event(const inotify_event&, std::string_view name)` ("" for an event of the watched
// folder itself); stops at once where that returns false.
template <typename OnEvent>
void read_events(int fd, OnEvent&& on_event) {
    alignas(inotify_event) char buf[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (!on_event(*e, std::string_view(e->name, ::strnlen(e->name, e->len))))
                return;
        }
    }
}

}  // namespace qv::listing
