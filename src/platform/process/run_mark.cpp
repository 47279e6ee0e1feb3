#include "platform/process/run_mark.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace qv::posix {

namespace {

struct DirEntry64 {
    ino64_t ino;
    off64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[];
};

// The process id a /proc entry names; 0 for the entries that are not processes.
pid_t pid_of(const char* name) {
    pid_t pid = 0;
    for (const char* c = name; *c; ++c) {
        if (*c < '0' || *c > '9' || pid > 100'000'000)
            return 0;
        pid = pid * 10 + (*c - '0');
    }
    return pid;
}

// Whether /proc/NAME/environ holds MARK as a whole entry: "\0" MARK "\0", with the text taken to
// start after a NUL. Read in pieces that keep the tail of the one before, so that an entry lying
// across two pieces is found.
bool environ_holds(int proc, const char* name, std::string_view mark) {
    char path[64];
    const std::size_t name_length = std::strlen(name);
    if (name_length + sizeof "/environ" > sizeof path)
        return false;
    std::memcpy(path, name, name_length);
    std::memcpy(path + name_length, "/environ", sizeof "/environ");
    const int fd = ::openat(proc, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char needle[512];
    const std::size_t need = mark.size() + 2;
    if (need > sizeof needle) {
        ::close(fd);
        return false;
    }
    needle[0] = '\0';
    std::memcpy(needle + 1, mark.data(), mark.size());
    needle[need - 1] = '\0';
    char text[8192];
    text[0] = '\0';
    std::size_t have = 1;
    bool found = false;
    for (;;) {
        const ssize_t n = ::read(fd, text + have, sizeof text - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += static_cast<std::size_t>(n);
        if (::memmem(text, have, needle, need)) {
            found = true;
            break;
        }
        if (have >= need) {
            std::memmove(text, text + have - (need - 1), need - 1);
            have = need - 1;
        }
    }
    ::close(fd);
    return found;
}

}  // namespace

std::string new_run_mark() {
    static std::atomic<unsigned long> runs{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::string(run_mark_variable) + "=" + std::to_string(::getpid()) + "." +
           std::to_string(++runs) + "." +
           std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

std::size_t signal_marked(std::string_view mark, int sig) {
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return 0;
    const pid_t self = ::getpid();
    std::size_t reached = 0;
    alignas(DirEntry64) char entries[8192];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, proc, entries, sizeof entries);
        if (n <= 0)
            break;
        for (long at = 0; at < n;) {
            const auto* e = reinterpret_cast<const DirEntry64*>(entries + at);
            at += e->reclen;
            const pid_t pid = pid_of(e->name);
            if (pid <= 0 || pid == self || !environ_holds(proc, e->name, mark))
                continue;
            if (::kill(pid, sig) == 0)
                ++reached;
        }
    }
    ::close(proc);
    return reached;
}

}  // namespace qv::posix
