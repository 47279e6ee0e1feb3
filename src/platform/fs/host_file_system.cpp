#include "platform/fs/host_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <utility>

#include "platform/app_error.h"
#include "platform/fs/entry_memo.h"
#include "platform/fs/fd_io.h"
#include "platform/fs/listing_cache.h"
#include "platform/fs/path_form.h"

namespace qv {
namespace {

using listing::child;

AppError path_not_found_error() {
    return AppError(err::path_not_found, "Path not found");
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return ascii_lower(x) == ascii_lower(y);
           });
}

bool less_ignoring_case(const std::string& a, const std::string& b) {
    // Names that differ only in case still get a fixed order.
    if (equal_ignoring_case(a, b))
        return a < b;
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return ascii_lower(x) < ascii_lower(y);
    });
}

bool has_drive(std::string_view p) {
    return p.size() >= 2 && p[1] == ':' &&
           ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

// An empty path or one holding a NUL byte names no file; passing the latter to the host would
// silently cut it short at the NUL.
bool names_nothing(std::string_view p) {
    return p.empty() || p.find('\0') != p.npos;
}

std::string process_working_dir() {
    std::string buf(256, '\0');
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE)
            throw path_not_found_error();
        buf.resize(buf.size() * 2);
    }
    buf.resize(buf.find('\0'));
    return buf;
}

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The path of the directory open as FD, as getcwd gives the process's: where the directory is
// now, with no symbolic link in it. A directory that was removed, or that cannot be reached
// from the root, has none (the kernel then names it "... (deleted)" or not from the root).
std::string path_of_dir(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    std::string buf(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(self.c_str(), buf.data(), buf.size());
        if (n < 0)
            throw path_not_found_error();
        if (static_cast<std::size_t>(n) < buf.size()) {
            buf.resize(static_cast<std::size_t>(n));
            break;
        }
        buf.resize(buf.size() * 2);
    }
    struct stat held {
    }, named{};
    if (buf.empty() || buf[0] != '/' || ::fstat(fd, &held) != 0 ||
        ::stat(buf.c_str(), &named) != 0 || !same_inode(held, named))
        throw path_not_found_error();
    return buf;
}

// Appends the components of `path` to `parts`, resolving "." and ".." and skipping the empty
// components of doubled separators; ".." never climbs above the root.
void push_components(std::string_view path, std::vector<std::string>& parts) {
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = i;
        while (j < path.size() && !is_separator(path[j]))
            ++j;
        std::string_view c = path.substr(i, j - i);
        if (c == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!c.empty() && c != ".") {
            parts.emplace_back(c);
        }
        i = j + 1;
    }
}

// Starts at the root, separated by "/" only, with no empty, "." or ".." component and no
// trailing separator: the form host_path gives back for an existing file.
bool is_clean_host_path(std::string_view path) {
    if (path.size() < 2 || path[0] != '/' || path.back() == '/' ||
        path.find('\\') != std::string_view::npos)
        return false;
    for (std::size_t i = 0; i < path.size();) {
        std::size_t j = path.find('/', i + 1);
        if (j == std::string_view::npos)
            j = path.size();
        const std::string_view c = path.substr(i + 1, j - i - 1);
        if (c.empty() || c == "." || c == "..")
            return false;
        i = j;
    }
    return true;
}

std::string join(const std::vector<std::string>& parts, char separator) {
    std::string out;
    for (const auto& p : parts) {
        out += separator;
        out += p;
    }
    return out.empty() ? std::string(1, separator) : out;
}

std::string parent(const std::string& host) {
    auto slash = host.rfind('/');
    return slash == 0 || slash == host.npos ? "/" : host.substr(0, slash);
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

std::optional<std::string> case_match(const std::string& dir, std::string_view name) {
    return listing::case_match(dir, name);
}

// Called after this process has changed the entries of the folder holding `host`.
void entries_changed(const std::string& host) {
    listing::entries_changed(parent(host));
}

// "*" any run of characters, "?" exactly one, letter case ignored. One backtrack point keeps
// the cost at most |pattern| * |name| whatever the pattern.
bool glob_match(std::string_view p, std::string_view n) {
    std::size_t pi = 0, ni = 0, star = p.npos, resume = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            resume = ni;
        } else if (pi < p.size() && (p[pi] == '?' || ascii_lower(p[pi]) == ascii_lower(n[ni]))) {
            ++pi;
            ++ni;
        } else if (star != p.npos) {
            pi = star + 1;
            ni = ++resume;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

// As on Windows, a trailing ".*" also matches a name without that extension, so "*.*" matches
// every name and "run.*" matches "run".
bool wildcard_match(std::string_view p, std::string_view n) {
    return glob_match(p, n) || (p.ends_with(".*") && glob_match(p.substr(0, p.size() - 2), n));
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            close();
            fd_ = std::exchange(o.fd_, -1);
        }
        return *this;
    }
    ~Fd() { close(); }
    int get() const { return fd_; }
    bool close() { return fd_ < 0 || ::close(std::exchange(fd_, -1)) == 0; }

  private:
    int fd_;
};

// Creates a new file `prefix` + 6 random hex digits + `suffix` in `dir`, never taking over an
// existing name. The file gets the usual permissions (0666 less the umask).
std::optional<std::pair<Fd, std::string>> create_unique(const std::string& dir,
                                                        std::string_view prefix,
                                                        std::string_view suffix) {
    thread_local std::mt19937 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(random() & 0xFFFFFFu));
        std::string name(prefix);
        name += hex;
        name += suffix;
        std::string path = child(dir, name);
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            entries_changed(path);
            return std::pair{Fd(fd), std::move(path)};
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

FileFacts facts_of(const struct stat& st) {
    return FileFacts{
        S_ISDIR(st.st_mode), static_cast<std::uint64_t>(st.st_size),
        static_cast<std::int64_t>(st.st_mtim.tv_sec),
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

// The file that a host path names once symbolic links are followed: a save through a link
// replaces that file and keeps the link. A link to a file that does not exist yet names the
// place where the file will be made.
std::string follow_links(std::string host) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return host;
        std::string to(static_cast<std::size_t>(st.st_size) + 256, '\0');
        ssize_t n = ::readlink(host.c_str(), to.data(), to.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= to.size())
            throw path_access_error();
        to.resize(static_cast<std::size_t>(n));
        host = to[0] == '/' ? to : child(parent(host), to);
    }
    throw path_access_error();
}

// Opens `path` and takes an exclusive flock on it. The lock must be on the file that the path
// names when it is granted: another holder may have renamed a new file over the path while we
// waited, and then the lock is taken again on that one. Fails (nullopt) when the file cannot
// be opened or the lock is still held by another after about ten seconds.
std::optional<Fd> open_locked(const std::string& path, int flags, mode_t mode) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        Fd fd(::open(path.c_str(), flags, mode));
        if (fd.get() < 0)
            return std::nullopt;
        while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() > deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        struct stat held {
        }, named{};
        if (::fstat(fd.get(), &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            same_inode(held, named))
            return fd;
        if (std::chrono::steady_clock::now() > deadline) {
            errno = EWOULDBLOCK;
            return std::nullopt;
        }
    }
}

// The permission bits of a new file: 0666 less the process's umask, read without changing it.
mode_t new_file_mode() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Umask:") {
            unsigned mask = 022;
            status >> std::oct >> mask;
            return static_cast<mode_t>(0666 & ~mask);
        }
        status.ignore(1 << 16, '\n');
    }
    return 0644;
}

class HostFileLock final : public FileLock {
  public:
    explicit HostFileLock(Fd fd) : fd_(std::move(fd)) {}

  private:
    Fd fd_;
};

// Makes a rename in `dir` survive a power cut; a failure here leaves the file correct.
void sync_dir(const std::string& dir) {
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

// Each line goes to the kernel as it is written, so a crash of the program loses nothing.
class HostLineSink final : public LineSink {
  public:
    explicit HostLineSink(Fd fd) : fd_(std::move(fd)) {}
    void write_line(std::string_view line) override {
        std::string buf;
        buf.reserve(line.size() + 2);
        buf.append(line);
        buf.append("\r\n");
        if (!write_all(fd_.get(), buf))
            throw path_access_error();
    }

  private:
    Fd fd_;
};

// Whether one syncfs() of the file system holding FD makes every file written to it last, and
// reports a write that failed: the local disk file systems do since Linux 5.8, which keeps
// write-back errors per file system. A FUSE or network file system may hold data that syncfs
// does not reach; its files are flushed one by one.
bool syncfs_flushes(int fd) {
    static const bool kernel_reports = [] {
        struct utsname u {};
        int major = 0, minor = 0;
        return ::uname(&u) == 0 && std::sscanf(u.release, "%d.%d", &major, &minor) == 2 &&
               (major > 5 || (major == 5 && minor >= 8));
    }();
    struct statfs fs {};
    if (!kernel_reports || ::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0xEF53UL:      // ext2, ext3, ext4
        case 0x58465342UL:  // xfs
        case 0x9123683EUL:  // btrfs
        case 0xF2F52010UL:  // f2fs
        case 0x01021994UL:  // tmpfs: nothing to flush
            return true;
        default:
            return false;
    }
}

// At most this many files of a group wait open for one flush of their file system: a quarter
// of the process's descriptors, and never so many that a group killed part-way leaves more
// than a thousand temporary files behind.
std::size_t batch_limit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return std::clamp<std::size_t>(static_cast<std::size_t>(limit.rlim_cur) / 4, 16, 1024);
}

}  // namespace

// Flushes and moves into place the files of a write group. On a file system where one syncfs()
// is sound (syncfs_flushes), the files wait open, written, until a batch of them is flushed by
// one syncfs, and are then renamed into place: a disk flush costs about the same for one file
// as for thousands. Elsewhere each file is flushed and renamed on threads of their own, which
// the disk serves many at a time; at most max_queued of those wait. Either way a file takes its
// name only once its text lasts, and a file that could not be made to last is removed.
class HostFileSystem::Group final : public WriteGroup {
  public:
    Group(HostFileSystem& fs, bool whole_file_system)
        : fs_(fs), whole_file_system_(whole_file_system), batch_limit_(batch_limit()) {
        fs_.group_ = this;
    }
    ~Group() override { finish(); }
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    std::string finish() override {
        {
            std::lock_guard batch(batch_mutex_);
            flush_batch();
        }
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        work_.notify_all();
        for (std::thread& t : threads_)
            t.join();
        threads_.clear();
        for (const std::string& dir : dirs_)
            sync_dir(dir);
        dirs_.clear();
        if (fs_.group_ == this)
            fs_.group_ = nullptr;
        return failed_;
    }

    // Waits until no write of TARGET is under way: its temporary file is that write's.
    void wait_for(const std::string& target) {
        {
            std::lock_guard batch(batch_mutex_);
            if (batch_targets_.contains(target))
                flush_batch();
        }
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return !pending_.contains(target); });
    }

    // The permission bits of a new file of the group, found once for all of them.
    mode_t new_mode() {
        std::lock_guard batch(batch_mutex_);
        if (!new_mode_)
            new_mode_ = new_file_mode();
        return *new_mode_;
    }

    // FD holds the whole text of TEMP, which is to become TARGET.
    void add(Fd fd, std::string temp, std::string target) {
        struct stat st {};
        if (whole_file_system_ && ::fstat(fd.get(), &st) == 0 && sound_on(st.st_dev, fd.get())) {
            std::lock_guard batch(batch_mutex_);
            // One syncfs flushes one file system.
            if (!batch_.empty() && st.st_dev != batch_dev_)
                flush_batch();
            batch_dev_ = st.st_dev;
            batch_targets_.insert(target);
            batch_.push_back({std::move(fd), std::move(temp), std::move(target)});
            if (batch_.size() >= batch_limit_)
                flush_batch();
            return;
        }
        std::unique_lock lock(mutex_);
        if (threads_.empty())
            for (int i = 0; i < flushers; ++i)
                threads_.emplace_back([this] { flush(); });
        done_.wait(lock, [&] { return queue_.size() < max_queued; });
        pending_.insert(target);
        queue_.push_back({std::move(fd), std::move(temp), std::move(target)});
        work_.notify_one();
    }

  private:
    struct Job {
        Fd fd;
        std::string temp, target;
    };

    bool sound_on(dev_t dev, int fd) {
        std::lock_guard batch(batch_mutex_);
        auto [at, added] = sound_.try_emplace(dev, false);
        if (added)
            at->second = syncfs_flushes(fd);
        return at->second;
    }

    // Puts TEMP in place once flushed (FLUSHED), or removes it; notes the outcome.
    void settle(Job& job, bool flushed) {
        const bool ok = flushed && ::rename(job.temp.c_str(), job.target.c_str()) == 0;
        entries_changed(job.temp);
        // The temporary name was made unique for this write, so no other write's file goes.
        if (!ok)
            ::unlink(job.temp.c_str());
        job.fd.close();
        std::lock_guard lock(mutex_);
        if (ok)
            dirs_.insert(parent(job.target));
        else if (failed_.empty())
            failed_ = job.target;
    }

    // Flushes the waiting files with one syncfs and puts them in place. Should the flush report
    // a failure, each file is flushed on its own so that only those that fail are lost. Holds
    // batch_mutex_.
    void flush_batch() {
        if (batch_.empty())
            return;
        // The first file was opened before the others, so a failed write-back of any of them
        // is reported through it.
        const bool all = ::syncfs(batch_.front().fd.get()) == 0;
        for (Job& job : batch_)
            settle(job, all || ::fsync(job.fd.get()) == 0);
        batch_.clear();
        batch_targets_.clear();
    }

    void flush() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            Job job = std::move(queue_.front());
            queue_.pop_front();
            done_.notify_all();
            lock.unlock();
            settle(job, ::fsync(job.fd.get()) == 0);
            lock.lock();
            pending_.erase(job.target);
            done_.notify_all();
        }
    }

    static constexpr int flushers = 16;
    static constexpr std::size_t max_queued = 64;

    HostFileSystem& fs_;
    const bool whole_file_system_;
    const std::size_t batch_limit_;

    std::recursive_mutex batch_mutex_;
    std::vector<Job> batch_;
    std::set<std::string> batch_targets_;
    dev_t batch_dev_ = 0;
    std::map<dev_t, bool> sound_;
    std::optional<mode_t> new_mode_;

    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::deque<Job> queue_;
    std::set<std::string> pending_, dirs_;
    std::string failed_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

std::unique_ptr<WriteGroup> HostFileSystem::write_group() {
    // Inside a group under way, its writes are the outer group's.
    if (group_)
        return std::make_unique<WriteGroup>();
    return std::make_unique<Group>(*this, true);
}

std::unique_ptr<WriteGroup> HostFileSystem::write_group_flushing_each_file() {
    if (group_)
        return std::make_unique<WriteGroup>();
    return std::make_unique<Group>(*this, false);
}

std::string HostFileSystem::host_path(std::string_view path) const {
    if (names_nothing(path))
        return {};
    // A clean absolute host path that exists as given maps to itself: one look-up instead of
    // one per component (status checks stat thousands of recorded paths).
    if (is_clean_host_path(path)) {
        const std::string given(path);
        struct stat st {};
        if (::lstat(given.c_str(), &st) == 0)
            return given;
        // A new name in a folder that exists as given: only the name needs the folder's listing.
        const std::string dir = parent(given);
        if (errno == ENOENT && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            if (auto m = case_match(dir, given.substr(given.rfind('/') + 1)))
                return child(dir, *m);
            return given;
        }
    }
    std::string_view rest = path;
    if (has_drive(rest))
        rest.remove_prefix(2);
    // "C:" alone is the root; "C:name" is relative, as it is to the current directory of C:.
    bool absolute = rest.empty() || is_separator(rest[0]);
    std::vector<std::string> parts;
    if (!absolute)
        push_components(working_dir(), parts);
    push_components(rest, parts);

    std::string out;
    bool found = true;
    for (auto& c : parts) {
        // Once a component is missing the rest cannot exist: keep them as given, so that a new
        // file is created with the name the program chose.
        struct stat st {};
        if (found && ::lstat(child(out, c).c_str(), &st) != 0 && errno == ENOENT) {
            if (auto m = case_match(out.empty() ? "/" : out, c)) {
                c = *m;
            } else {
                found = false;
            }
        }
        out += '/';
        out += c;
    }
    return out.empty() ? "/" : out;
}

std::string HostFileSystem::program_path(std::string_view host) const {
    if (names_nothing(host))
        return {};
    std::vector<std::string> parts;
    if (host[0] != '/')
        push_components(working_dir(), parts);
    push_components(host, parts);
    return join(parts, host_separator);
}

std::string HostFileSystem::read_file(std::string_view path) const {
    FileFacts facts;
    return read_file_with_facts(path, facts);
}

std::string HostFileSystem::read_file_with_facts(std::string_view path, FileFacts& facts) const {
    // O_NONBLOCK keeps a FIFO from hanging the open; only regular files are read. A clean host
    // path that opens as given is the file its mapping would name.
    int raw = -1;
    if (!names_nothing(path) && is_clean_host_path(path))
        raw = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    std::string host = raw >= 0 ? std::string(path) : host_path(path);
    if (host.empty())
        throw file_not_found_error();
    if (raw < 0)
        raw = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (raw < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw file_not_found_error();
        throw path_access_error();
    }
    Fd fd(raw);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw path_access_error();
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw path_access_error();
        }
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    facts = facts_of(st);
    return bytes;
}

void HostFileSystem::write_file(std::string_view path, std::string_view bytes) {
    std::string host = host_path(path);
    Fd fd(host.empty() ? -1 : ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() >= 0)
        entries_changed(host);
    if (fd.get() < 0 || !write_all(fd.get(), bytes) || !fd.close())
        throw path_access_error();
}

FileFacts HostFileSystem::write_file_atomic(std::string_view path, std::string_view bytes) {
    std::string target = host_path(path);
    if (target.empty())
        throw path_access_error();
    target = follow_links(std::move(target));
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing) {
        if (!S_ISREG(old.st_mode))
            throw path_access_error();
        // Read-only means read-only for everyone: root could rename over it, but must not.
        if ((old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            throw permission_denied_error();
    }

    const std::string dir = parent(target);
    const std::string temp = child(dir, save_temp_name(target.substr(target.rfind('/') + 1)));
    if (group_)
        group_->wait_for(target);
    // The lock on the temporary file keeps two writers of one target from sharing it.
    auto locked = open_locked(temp, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (!locked && errno == EACCES && ::unlink(temp.c_str()) == 0)
        locked = open_locked(temp, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (!locked && errno == EWOULDBLOCK)
        throw FileBusyError();
    if (!locked)
        throw path_access_error();
    Fd& fd = *locked;
    // Owner and group first: changing them may clear set-id bits that the mode then restores.
    // Where the process may not give the file away, the new file is its own.
    if (replacing)
        (void)::fchown(fd.get(), old.st_uid, old.st_gid);
    const mode_t mode =
        replacing ? old.st_mode & 07777 : (group_ ? group_->new_mode() : new_file_mode());
    struct stat written {};
    if (group_) {
        if (::fchmod(fd.get(), mode) == 0 && ::ftruncate(fd.get(), 0) == 0 &&
            write_all(fd.get(), bytes) && ::fstat(fd.get(), &written) == 0) {
            group_->add(std::move(fd), temp, target);
            return facts_of(written);
        }
        ::unlink(temp.c_str());
        entries_changed(temp);
        throw path_access_error();
    }
    bool ok = ::fchmod(fd.get(), mode) == 0 && ::ftruncate(fd.get(), 0) == 0 &&
              write_all(fd.get(), bytes) && ::fsync(fd.get()) == 0 &&
              ::fstat(fd.get(), &written) == 0 && ::rename(temp.c_str(), target.c_str()) == 0;
    entries_changed(temp);
    if (!ok) {
        // Still under the lock, so the file at that name is this write's own.
        ::unlink(temp.c_str());
        throw path_access_error();
    }
    sync_dir(dir);
    return facts_of(written);
}

std::unique_ptr<FileLock> HostFileSystem::lock_file(std::string_view path) {
    std::string host = host_path(path);
    if (host.empty())
        return nullptr;
    host = follow_links(std::move(host));
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0)
        return nullptr;
    auto fd = open_locked(host, O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
    if (!fd && errno == EWOULDBLOCK)
        throw FileBusyError();
    if (!fd)
        throw permission_denied_error();
    return std::make_unique<HostFileLock>(std::move(*fd));
}

void HostFileSystem::replace(std::string_view from, std::string_view to) {
    std::string a = host_path(from), b = host_path(to);
    const bool renamed = !a.empty() && !b.empty() && ::rename(a.c_str(), b.c_str()) == 0;
    if (!a.empty())
        entries_changed(a);
    if (!b.empty())
        entries_changed(b);
    if (!renamed)
        throw path_access_error();
}

bool HostFileSystem::remove(std::string_view path) {
    std::string host = host_path(path);
    if (host.empty())
        return false;
    const bool removed = ::unlink(host.c_str()) == 0;
    entries_changed(host);
    return removed;
}

std::unique_ptr<LineSink> HostFileSystem::create_line_file(std::string_view path) {
    std::string host = host_path(path);
    Fd fd(host.empty() ? -1 : ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        throw path_access_error();
    entries_changed(host);
    return std::make_unique<HostLineSink>(std::move(fd));
}

std::optional<FileFacts> HostFileSystem::facts(std::string_view path) const {
    // A clean host path that names a file as given, not through a link: its own facts, with one
    // look-up rather than the mapping's and then the file's.
    if (!names_nothing(path) && is_clean_host_path(path)) {
        const std::string given(path);
        struct stat st {};
        if (::lstat(given.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
            return facts_of(st);
    }
    std::string host = host_path(path);
    struct stat st {};
    if (host.empty() || ::stat(host.c_str(), &st) != 0)
        return std::nullopt;
    return facts_of(st);
}

std::optional<FileFacts> HostFileSystem::host_facts(std::string_view path,
                                                    std::string& host) const {
    // A clean host path that exists as given maps to itself; unless it is a link, its look-up
    // gave its facts too.
    if (!names_nothing(path) && is_clean_host_path(path)) {
        std::string given(path);
        struct stat st {};
        if (::lstat(given.c_str(), &st) == 0) {
            host = std::move(given);
            if (S_ISLNK(st.st_mode) && ::stat(host.c_str(), &st) != 0)
                return std::nullopt;
            return facts_of(st);
        }
    }
    host = host_path(path);
    return facts(host);
}

std::optional<std::string> HostFileSystem::entry_on_disk(std::string_view dir,
                                                         std::string_view name) const {
    if (!names_nothing(dir) && (dir == "/" || is_clean_host_path(dir)))
        if (entry_memo::Found found = entry_memo::look(std::string(dir), name); found.known)
            return found.name;
    return FileSystem::entry_on_disk(dir, name);
}

std::vector<std::string> HostFileSystem::list(std::string_view pattern, int attributes) const {
    std::vector<std::string> names;
    if (names_nothing(pattern))
        return names;
    const bool with_dirs = (attributes & attr_directory) != 0;
    auto wanted = [&](const std::string& host) {
        struct stat st {};
        return ::stat(host.c_str(), &st) == 0 &&
               (S_ISREG(st.st_mode) || (with_dirs && S_ISDIR(st.st_mode)));
    };

    std::size_t cut = pattern.size();
    while (cut > 0 && !is_separator(pattern[cut - 1]))
        --cut;
    if (cut == 0 && has_drive(pattern))
        cut = 2;
    std::string dir(pattern.substr(0, cut));
    std::string_view name = pattern.substr(cut);

    if (!name.empty() && name.find_first_of("*?") == name.npos) {
        std::string host = host_path(pattern);
        std::string base = host.substr(host.rfind('/') + 1);
        if (!base.empty() && wanted(host))
            names.push_back(base);
        return names;
    }

    // A pattern ending in a separator lists the whole directory.
    if (name.empty())
        name = "*";
    // "" and "C:" before the name stand for the current directory.
    if (dir.empty() || !is_separator(dir.back()))
        dir += '.';
    std::string host_dir = host_path(dir);
    DirHandle d(::opendir(host_dir.c_str()));
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d.get())) {
        std::string_view n = e->d_name;
        if (n == "." || n == ".." || !wildcard_match(name, n))
            continue;
        if (wanted(child(host_dir, n)))
            names.emplace_back(n);
    }
    std::sort(names.begin(), names.end(), less_ignoring_case);
    return names;
}

bool HostFileSystem::same_file(std::string_view a, std::string_view b) const {
    std::string ha = host_path(a), hb = host_path(b);
    if (ha.empty() || hb.empty())
        return false;
    struct stat sa {
    }, sb{};
    if (::stat(ha.c_str(), &sa) == 0 && ::stat(hb.c_str(), &sb) == 0) {
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    return ha == hb;
}

HostFileSystem::~HostFileSystem() {
    if (own_dir_ >= 0)
        ::close(own_dir_);
}

void HostFileSystem::use_private_current_dir() {
    if (own_dir_ >= 0)
        return;
    own_dir_ = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (own_dir_ < 0)
        throw path_not_found_error();
}

std::string HostFileSystem::working_dir() const {
    return own_dir_ < 0 ? process_working_dir() : path_of_dir(own_dir_);
}

std::string HostFileSystem::current_dir() const {
    return program_path(working_dir());
}

void HostFileSystem::set_current_dir(std::string_view path) {
    std::string host = host_path(path);
    if (own_dir_ < 0) {
        if (host.empty() || ::chdir(host.c_str()) != 0)
            throw path_not_found_error();
        return;
    }
    // What chdir(2) would take: a directory that this process may search.
    const int dir = host.empty() ? -1 : ::open(host.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        throw path_not_found_error();
    if (::faccessat(AT_FDCWD, host.c_str(), X_OK, AT_EACCESS) != 0) {
        ::close(dir);
        throw path_not_found_error();
    }
    ::close(std::exchange(own_dir_, dir));
}

std::string HostFileSystem::temp_file() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    if (own_dir_ >= 0 && dir[0] != '/')
        dir = child(working_dir(), dir);
    auto created = create_unique(dir, "QV", ".tmp");
    if (!created)
        throw path_access_error();
    return program_path(created->second);
}

}  // namespace qv
