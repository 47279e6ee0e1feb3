#pragma once

#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace qv::listing {

// File systems whose every change, by any process of this machine, raises inotify events.
inline bool changes_are_all_seen(int fd) {
    struct statfs sf {};
    if (::fstatfs(fd, &sf) != 0)
        return false;
    switch (static_cast<unsigned long>(sf.f_type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x58465342:  // xfs
        case 0x9123683E:  // btrfs
        case 0x01021994:  // tmpfs
        case 0xF2F52010:  // f2fs
            return true;
        default:
            return false;
    }
}

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
