#include "runs/run_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>

#include "runs/run_record.h"

namespace qv::runs {

namespace {

constexpr std::string_view record_suffix = ".run.json";

struct flock whole_file(short type) {
    struct flock l {};
    l.l_type = type;
    l.l_whence = SEEK_SET;
    return l;
}

// What a lock file says: "pid 1234" and "started 2026-12-09T08:15:02.123Z", a line each.
LockHolder read_holder(int fd) {
    char text[256];
    const ssize_t n = ::pread(fd, text, sizeof text, 0);
    LockHolder holder;
    std::string_view rest(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (line.starts_with("pid "))
            holder.pid = std::strtol(std::string(line.substr(4)).c_str(), nullptr, 10);
        else if (line.starts_with("started "))
            holder.started = line.substr(8);
    }
    return holder;
}

bool names_file(const std::string& path, int fd) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool regular(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

std::string reason(const std::string& path, const std::string& why) {
    return "the lock file " + path + " " + why;
}

}  // namespace

std::string describe(const LockHolder& holder) {
    std::string text = holder.pid > 0 ? "process " + std::to_string(holder.pid) : "a process";
    if (!holder.started.empty())
        text += " since " + holder.started;
    return text;
}

std::string lock_path_for(const std::string& record_path) {
    std::string path = record_path;
    if (path.ends_with(record_suffix))
        path.resize(path.size() - std::string_view(".json").size());
    path += ".lock";
    // The model matches its file names without regard to case, so the record's name may change
    // case once the model has written its output: the lock's name does not.
    for (std::size_t i = path.rfind('/') + 1; i < path.size(); ++i)
        if (path[i] >= 'A' && path[i] <= 'Z')
            path[i] = static_cast<char>(path[i] - 'A' + 'a');
    return path;
}

RunLock::~RunLock() {
    // Removed while still held, so that no one takes over a file that is about to go.
    if (names_file(path_, fd_))
        ::unlink(path_.c_str());
    ::close(fd_);
}

RunLock::Attempt RunLock::take(const std::string& record_path) {
    Attempt attempt;
    const std::string path = lock_path_for(record_path);
    // A holder that ends removes the file between another's open and lock: that one tries again
    // with the file the next holder makes.
    for (int tries = 0; tries < 100; ++tries) {
        // O_NONBLOCK: a FIFO put in the file's place never holds up the open.
        const int fd = ::open(
            path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
        if (fd < 0) {
            attempt.error = reason(path, std::string("cannot be opened: ") + std::strerror(errno));
            return attempt;
        }
        if (!regular(fd)) {
            ::close(fd);
            attempt.error = reason(path, "is not a regular file");
            return attempt;
        }
        struct flock l = whole_file(F_WRLCK);
        if (::fcntl(fd, F_OFD_SETLK, &l) != 0) {
            const int error = errno;
            if (error == EAGAIN || error == EACCES)
                attempt.holder = read_holder(fd);
            else
                attempt.error =
                    reason(path, std::string("cannot be locked: ") + std::strerror(error));
            ::close(fd);
            return attempt;
        }
        if (!names_file(path, fd)) {
            ::close(fd);
            continue;
        }
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const std::string text =
            "pid " + std::to_string(::getpid()) + "\nstarted " +
            iso_utc(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) + "\n";
        // The lock holds whether or not its holder's name could be written.
        if (::ftruncate(fd, 0) == 0)
            (void)!::pwrite(fd, text.data(), text.size(), 0);
        attempt.lock.reset(new RunLock(fd, path));
        return attempt;
    }
    attempt.error = reason(path, "is replaced again and again");
    return attempt;
}

std::optional<LockHolder> run_lock_holder(const std::string& record_path) {
    const std::string path = lock_path_for(record_path);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<LockHolder> holder;
    struct flock l = whole_file(F_WRLCK);
    if (regular(fd) && ::fcntl(fd, F_OFD_GETLK, &l) == 0 && l.l_type != F_UNLCK)
        holder = read_holder(fd);
    ::close(fd);
    return holder;
}

}  // namespace qv::runs
