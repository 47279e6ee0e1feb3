#include "platform/process/run_mark.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
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

// Whether every process id that the children file NAME (under the directory TASKS) lists is in
// KNOWN; false when the file cannot be read.
bool children_known(int tasks, const char* name, const std::vector<pid_t>& known) {
    char path[64];
    const std::size_t name_length = std::strlen(name);
    if (name_length + sizeof "/children" > sizeof path)
        return false;
    std::memcpy(path, name, name_length);
    std::memcpy(path + name_length, "/children", sizeof "/children");
    const int fd = ::openat(tasks, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // "123 456 " : ids, each followed by a space; one may lie across two pieces.
    char text[4096];
    pid_t pid = 0;
    bool known_all = true;
    for (;;) {
        const ssize_t n = ::read(fd, text, sizeof text);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            known_all = false;
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n && known_all; ++i) {
            if (text[i] >= '0' && text[i] <= '9') {
                pid = pid * 10 + (text[i] - '0');
            } else if (pid != 0) {
                known_all = std::binary_search(known.begin(), known.end(), pid);
                pid = 0;
            }
        }
    }
    ::close(fd);
    return known_all && pid == 0;
}

}  // namespace

bool only_known_children(const std::vector<pid_t>& known) {
    int subreaper = 0;
    if (::prctl(PR_GET_CHILD_SUBREAPER, &subreaper) != 0 || subreaper == 0)
        return false;
    // Each thread has children of its own: those it started, and orphans passed to it.
    const int tasks = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (tasks < 0)
        return false;
    bool known_all = true;
    alignas(DirEntry64) char entries[8192];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, tasks, entries, sizeof entries);
        if (n < 0)
            known_all = false;
        if (n <= 0)
            break;
        for (long at = 0; at < n && known_all;) {
            const auto* e = reinterpret_cast<const DirEntry64*>(entries + at);
            at += e->reclen;
            if (pid_of(e->name) > 0)
                known_all = children_known(tasks, e->name, known);
        }
        if (!known_all)
            break;
    }
    ::close(tasks);
    return known_all;
}

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
