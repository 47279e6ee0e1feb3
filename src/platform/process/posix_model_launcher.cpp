#include "platform/process/posix_model_launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/app_error.h"
#include "platform/process/posix_spawn.h"
#include "platform/process/run_mark.h"

namespace qv {

using namespace posix;

namespace {

// How long the watcher gives the model's group after SIGTERM before SIGKILL.
constexpr int watcher_grace_ms = 2000;
// Without a pidfd the model's end is noticed by polling this often.
constexpr int fallback_poll_ms = 10;
// How long output is gathered after the model's output file grew, before it is read.
constexpr int gather_ms = 5;
// One wait() reads at most this much, so output is passed on in steady portions.
constexpr std::size_t read_limit = 1 << 20;
constexpr int pipe_size = 1 << 20;

void sleep_ms(int ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

// The signals whose handling the model must not inherit from this program.
constexpr int reset_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD};

// Runs in the model's process between fork and exec: async-signal-safe calls only.
[[noreturn]] void exec_model(const Command& cmd, pid_t parent, bool from_main_thread, int null_fd,
                             int out_fd, int status_fd) {
    ::setpgid(0, 0);
    // The signal comes when the thread that forked ends, not the process: only the main
    // thread's end is this program's end. The watcher covers every other case.
    if (from_main_thread) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The parent may have ended before the line above took effect.
        if (::getppid() != parent)
            ::_exit(127);
    }
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig : reset_signals)
        ::sigaction(sig, &dfl, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::dup2(null_fd, STDIN_FILENO);
    ::dup2(out_fd, STDOUT_FILENO);
    ::dup2(out_fd, STDERR_FILENO);
    cmd.exec(status_fd);
}

// SIGTERM to the model's group (none: 0) and every process that carries the run's mark, then,
// when any is left after the grace period, SIGKILL. Async-signal-safe.
void end_run_processes(pid_t group, std::string_view mark) {
    auto signal_all = [&](int sig) {
        const bool group_left = group > 0 && ::kill(-group, sig) == 0;
        return signal_marked(mark, sig) > 0 || group_left;
    };
    signal_all(SIGTERM);
    for (int waited = 0; waited < watcher_grace_ms && signal_all(0); waited += 20)
        sleep_ms(20);
    signal_all(SIGKILL);
}

// The watcher, between fork and its end: async-signal-safe calls only. It waits on `guard`; a
// byte means the run ended as it should, end of file means this program is gone, and then the
// model's group and whatever else carries the run's mark are ended.
// A watcher's first steps after fork, async-signal-safe: Ctrl+C and a closing terminal reach
// this program, which ends the runs itself, so the watcher ignores them; and it keeps no
// descriptor open but `keep`, so no other run's watcher waits on this one.
void become_watcher(int keep) {
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    for (int sig : {SIGINT, SIGHUP, SIGQUIT, SIGTERM, SIGPIPE})
        ::sigaction(sig, &ign, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (keep > 0)
        ::syscall(SYS_close_range, 0u, static_cast<unsigned>(keep - 1), 0u);
    ::syscall(SYS_close_range, static_cast<unsigned>(keep + 1), ~0u, 0u);
}

[[noreturn]] void watch(int guard, pid_t group, std::string_view mark) {
    become_watcher(guard);
    char byte = 0;
    ssize_t n;
    while ((n = ::read(guard, &byte, 1)) < 0 && errno == EINTR) {
    }
    if (n == 1)
        ::_exit(0);
    end_run_processes(group, mark);
    ::_exit(0);
}

// The children the launchers of this program started and have not reaped yet: the models and
// their watchers. A child is added under the same lock as its fork, so that a look at this
// program's children while the lock is held finds no child of a launch under way that is not
// here yet.
class StartedChildren {
  public:
    std::mutex mutex;

    void add(pid_t pid) {  // with `mutex` held
        pids_.insert(std::lower_bound(pids_.begin(), pids_.end(), pid), pid);
    }
    void remove(pid_t pid) {
        std::lock_guard lock(mutex);
        const auto at = std::lower_bound(pids_.begin(), pids_.end(), pid);
        if (at != pids_.end() && *at == pid)
            pids_.erase(at);
    }
    // Whether this program has no child beyond these, so that nothing a reaped model started can
    // still be running (see only_known_children).
    bool only_these() {
        std::lock_guard lock(mutex);
        return only_known_children(pids_);
    }

  private:
    std::vector<pid_t> pids_;  // sorted
};

StartedChildren& started_children() {
    // Never destroyed: a run may end on a thread while the program's statics go.
    static StartedChildren& children = *new StartedChildren;
    return children;
}

// One watcher serves every run of this program while it can: a fork per run costs more than
// the run of a quick model. It is told of each run's start and end over a socket (one message
// each), and when the socket comes to its end this program is gone: then every run it was told
// of and not of its end has its group and marked processes ended, all together. A run it cannot
// take (too many at once, or the watcher is gone) gets a watcher of its own.
namespace shared_watch {

constexpr int slots = 256;
constexpr std::size_t mark_room = 120;

struct Message {
    char op;  // 's': a run started, 'e': it ended
    int slot;
    pid_t group;
    unsigned char mark_length;
    char mark[mark_room];
};

struct Run {
    bool live;
    pid_t group;
    std::size_t mark_length;
    char mark[mark_room];
};

// The watcher's table, in its own copy of this memory after the fork.
Run table[slots];

// As end_run_processes, for every live run at once. Async-signal-safe.
void end_all(const Run* runs) {
    auto signal_all = [&](int sig) {
        bool left = false;
        for (int i = 0; i < slots; ++i) {
            const Run& r = runs[i];
            if (!r.live)
                continue;
            const bool group_left = r.group > 0 && ::kill(-r.group, sig) == 0;
            left = signal_marked({r.mark, r.mark_length}, sig) > 0 || group_left || left;
        }
        return left;
    };
    if (!signal_all(SIGTERM))
        return;
    for (int waited = 0; waited < watcher_grace_ms && signal_all(0); waited += 20)
        sleep_ms(20);
    signal_all(SIGKILL);
}

// The watcher, between fork and its end: async-signal-safe calls only.
[[noreturn]] void serve(int socket) {
    become_watcher(socket);
    for (Run& r : table)
        r.live = false;
    for (;;) {
        Message m;
        const ssize_t n = ::recv(socket, &m, sizeof m, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (static_cast<std::size_t>(n) != sizeof m || m.slot < 0 || m.slot >= slots ||
            m.mark_length > mark_room)
            continue;
        Run& r = table[m.slot];
        r.live = m.op == 's';
        r.group = m.group;
        r.mark_length = m.mark_length;
        std::memcpy(r.mark, m.mark, m.mark_length);
    }
    end_all(table);
    ::_exit(0);
}

// This program's side: the socket to the watcher and the slots in use.
class Watcher {
  public:
    // Tells the watcher of a run; the run's slot, or -1 when it has to watch the run itself.
    int started(pid_t group, std::string_view mark) {
        std::lock_guard lock(mutex_);
        if (broken_ || mark.size() > mark_room)
            return -1;
        int slot = 0;
        while (slot < slots && used_[slot])
            ++slot;
        if (slot == slots || (socket_.get() < 0 && !start()))
            return -1;
        Message m{};
        m.op = 's';
        m.slot = slot;
        m.group = group;
        m.mark_length = static_cast<unsigned char>(mark.size());
        std::memcpy(m.mark, mark.data(), mark.size());
        if (!send(m))
            return -1;
        used_[slot] = true;
        return slot;
    }

    void ended(int slot) {
        std::lock_guard lock(mutex_);
        Message m{};
        m.op = 'e';
        m.slot = slot;
        send(m);
        used_[slot] = false;
    }

  private:
    // Forks the watcher (with the started children's lock held, as every fork of a child that
    // stays is).
    bool start() {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
            broken_ = true;
            return false;
        }
        Fd ours(pair[0]), theirs(pair[1]);
        StartedChildren& children = started_children();
        std::lock_guard started(children.mutex);
        const pid_t pid = ::fork();
        if (pid == 0)
            serve(theirs.get());
        if (pid < 0) {
            broken_ = true;
            return false;
        }
        children.add(pid);
        socket_ = std::move(ours);
        return true;
    }

    bool send(const Message& m) {
        for (;;) {
            if (::send(socket_.get(), &m, sizeof m, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof m))
                return true;
            if (errno != EINTR)
                break;
        }
        // The watcher is gone: the runs from now on watch themselves.
        broken_ = true;
        return false;
    }

    std::mutex mutex_;
    Fd socket_;
    bool broken_ = false;
    bool used_[slots] = {};
};

Watcher& watcher() {
    // Never destroyed: its socket closes only with the program, which is what the watcher
    // waits for.
    static Watcher& w = *new Watcher;
    return w;
}

}  // namespace shared_watch

namespace change_watches {

// Closing an inotify descriptor waits for the kernel's grace period of its watches: a
// millisecond when the machine is idle, tens of them when it is busy, on every run of a batch.
// Removing a watch does not wait. Runs therefore hand their descriptor back here, its watch
// removed and its events read, for the next run to take.
class Pool {
  public:
    Fd take() {
        {
            std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                Fd fd = std::move(free_.back());
                free_.pop_back();
                return fd;
            }
        }
        return Fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    }

    // Takes `fd` back with its watch `wd` (-1: none) removed. Once the watch is removed no
    // event of it can come, so what is read here is all the next run could have seen of it.
    void give_back(Fd fd, int wd) {
        if (fd.get() < 0)
            return;
        if (wd >= 0)
            ::inotify_rm_watch(fd.get(), wd);
        char events[4096];
        while (::read(fd.get(), events, sizeof events) > 0) {
        }
        std::lock_guard lock(mutex_);
        if (free_.size() < kept)
            free_.push_back(std::move(fd));
    }

  private:
    static constexpr std::size_t kept = 16;
    std::mutex mutex_;
    std::vector<Fd> free_;
};

Pool& pool() {
    // Never destroyed: the descriptors close with the program.
    static Pool& p = *new Pool;
    return p;
}

}  // namespace change_watches

// Where the model's output is read from: a pipe, or the file the model writes into, with an
// inotify descriptor that becomes readable when the file grows.
struct OutputSource {
    Fd fd;
    Fd changes;  // file only; -1 where inotify is refused (the file is then polled)
    int watch = -1;
    bool is_file = false;
};

class PosixModelProcess final : public ModelProcess {
  public:
    PosixModelProcess(pid_t pid, std::string mark, OutputSource output, Fd pidfd, int shared_slot,
                      pid_t watcher, Fd guard)
        : shared_slot_(shared_slot),
          pid_(pid),
          mark_(std::move(mark)),
          output_(std::move(output.fd)),
          changes_(std::move(output.changes)),
          watch_(output.watch),
          is_file_(output.is_file),
          pidfd_(std::move(pidfd)),
          watcher_(watcher),
          guard_(std::move(guard)) {
        if (!is_file_) {
            ::fcntl(output_.get(), F_SETFL, ::fcntl(output_.get(), F_GETFL) | O_NONBLOCK);
            // A larger pipe lets a model that floods its output write on while a portion is
            // passed on, instead of waiting every 64 KiB; where the system refuses, the pipe
            // keeps its size.
            ::fcntl(output_.get(), F_SETPIPE_SZ, pipe_size);
        }
    }

    // A run given up while its model runs ends the model rather than leave it behind.
    ~PosixModelProcess() override {
        if (!reaped_) {
            kill_group();
            reap();
        }
        stop_watching();
        if (shared_slot_ >= 0)
            shared_watch::watcher().ended(shared_slot_);
        if (watcher_ > 0) {
            const char done = 1;
            write_all(guard_.get(), &done, 1);
            guard_.reset();
            int ignored = 0;
            reap_child(watcher_, &ignored);
            started_children().remove(watcher_);
        }
    }

    bool wait(std::chrono::milliseconds timeout, int wake_fd, std::string& output) override {
        if (reaped_)
            return true;
        if (has_ended())
            return read_after_end(output);
        // Output left in the file for nobody is only measured once the model has ended.
        const bool follow = !passing_ || pass_fd_ >= 0;
        // A file keeps what the model wrote while the last portion was passed on: read it
        // before waiting, so a flood is read at the pace it comes.
        if (is_file_ && follow && drain(output, false) > 0)
            return false;
        pollfd fds[3];
        nfds_t n = 0;
        const int watched = !is_file_ ? output_.get() : follow ? changes_.get() : -1;
        const int out_index = watched >= 0 ? static_cast<int>(n) : -1;
        if (watched >= 0)
            fds[n++] = {watched, POLLIN, 0};
        if (pidfd_.get() >= 0)
            fds[n++] = {pidfd_.get(), POLLIN, 0};
        if (wake_fd >= 0)
            fds[n++] = {wake_fd, POLLIN, 0};
        long ms = static_cast<long>(timeout.count());
        if (ms < 0)
            ms = 0;
        const bool unwatched_file = is_file_ && follow && changes_.get() < 0;
        if ((pidfd_.get() < 0 || unwatched_file) && ms > fallback_poll_ms)
            ms = fallback_poll_ms;
        const int r = ::poll(fds, n, static_cast<int>(ms));
        if (r > 0 && out_index >= 0 && fds[out_index].revents != 0) {
            if (is_file_) {
                clear_changes();
                gather(wake_fd);
            }
            drain(output, false);
        } else if (unwatched_file) {
            drain(output, false);
        }
        if (has_ended())
            return read_after_end(output);
        return false;
    }

    void terminate_group() override { signal_group(SIGTERM); }
    void kill_group() override { signal_group(SIGKILL); }

    std::size_t end_descendants() override {
        // What the model left running has become this program's child (or lies below one)
        // where this program is a child subreaper: with no child but the runs' own, nothing
        // carries the mark, and the look through every process is not needed.
        if (started_children().only_these())
            return 0;
        if (signal_marked(mark_, 0) == 0)
            return 0;
        // The leader is reaped, so its group id may name another group by now: only the
        // marked processes are ended.
        end_run_processes(0, mark_);
        // SIGKILL cannot be refused, but a process takes a moment to go.
        for (int waited = 0; waited < watcher_grace_ms; waited += 20) {
            if (signal_marked(mark_, 0) == 0)
                return 0;
            sleep_ms(20);
        }
        return signal_marked(mark_, 0);
    }

    bool has_exited() const override { return !reaped_ && has_ended(); }

    bool pass_output_on(int fd) override {
        if (!is_file_)
            return false;
        passing_ = true;
        pass_fd_ = is_null_device(fd) ? -1 : fd;
        // Nobody follows the output: the model's writes need not be watched.
        if (pass_fd_ < 0)
            stop_watching();
        return true;
    }

    std::uint64_t output_taken() const override { return static_cast<std::uint64_t>(read_); }

    std::size_t read_output(std::uint64_t offset, char* data, std::size_t size) const override {
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n =
                ::pread(output_.get(), data + got, size - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        return got;
    }

    Exit reap() override {
        if (!reaped_) {
            reap_child(pid_, &status_);
            reaped_ = true;
            started_children().remove(pid_);
        }
        Exit e;
        if (WIFEXITED(status_))
            e.status = WEXITSTATUS(status_);
        else if (WIFSIGNALED(status_))
            e.signal = WTERMSIG(status_);
        return e;
    }

  private:
    // The leader stays unreaped until reap(), so its group id cannot have passed to another
    // process group when this is sent. What left the group is found by the run's mark.
    void signal_group(int sig) {
        if (reaped_)
            return;
        if (::kill(-pid_, sig) != 0)
            ::kill(pid_, sig);
        signal_marked(mark_, sig);
    }

    bool has_ended() const {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid_;
    }

    // The file grew: waits a moment longer (unless the model ends or a wake-up comes), so
    // that a model writing in small pieces is read in large portions, not one per write.
    void gather(int wake_fd) {
        pollfd fds[2];
        nfds_t n = 0;
        if (pidfd_.get() >= 0)
            fds[n++] = {pidfd_.get(), POLLIN, 0};
        if (wake_fd >= 0)
            fds[n++] = {wake_fd, POLLIN, 0};
        ::poll(fds, n, gather_ms);
    }

    void stop_watching() {
        change_watches::pool().give_back(std::move(changes_), watch_);
        watch_ = -1;
    }

    void clear_changes() {
        char events[4096];
        while (::read(changes_.get(), events, sizeof events) > 0) {
        }
    }

    // Once the model has ended. A pipe holds at most its size, read here at once. A file may
    // hold far more that is not read yet: it is read on in portions of read_limit, up to the
    // size it had when the end was seen (what the model's children write later is left to the
    // log), and the end is reported once that is read.
    bool read_after_end(std::string& output) {
        if (!is_file_) {
            drain(output, true);
            return true;
        }
        if (!end_size_) {
            struct stat st {};
            end_size_ = ::fstat(output_.get(), &st) == 0 ? st.st_size : 0;
        }
        if (read_ >= *end_size_)
            return true;
        drain(output, false);
        return read_ >= *end_size_;
    }

    // Reads what is there without waiting and returns how much.
    std::size_t drain(std::string& output, bool ended) {
        if (output_.get() < 0)
            return 0;
        if (passing_)
            return pass_file();
        return is_file_ ? read_file(output) : read_pipe(output, ended);
    }

    // What the file holds beyond what was taken, passed on (up to read_limit) or, when nobody
    // follows it, only counted.
    std::size_t pass_file() {
        struct stat st {};
        if (::fstat(output_.get(), &st) != 0 || st.st_size <= read_)
            return 0;
        off_t want = st.st_size - read_;
        if (pass_fd_ >= 0) {
            want = std::min<off_t>(want, static_cast<off_t>(read_limit));
            copy_out(read_, static_cast<std::size_t>(want));
        }
        read_ += want;
        return static_cast<std::size_t>(want);
    }

    // Copies SIZE bytes of the file from OFFSET to the descriptor the output is passed on to:
    // inside the system, or through a buffer where the descriptor takes no sendfile (a
    // terminal, a file opened for appending). A descriptor that fails otherwise takes nothing
    // more, as a failed stream would.
    void copy_out(off_t offset, std::size_t size) {
        while (size > 0 && pass_fd_ >= 0) {
            ssize_t n;
            if (!through_buffer_) {
                off_t at = offset;
                n = ::sendfile(pass_fd_, output_.get(), &at, size);
                if (n < 0 && (errno == EINVAL || errno == ENOSYS)) {
                    through_buffer_ = true;
                    buffer_.resize(1 << 16);
                    continue;
                }
            } else {
                n = ::pread(output_.get(), buffer_.data(), std::min(size, buffer_.size()), offset);
                if (n > 0 && !write_whole(pass_fd_, buffer_.data(), static_cast<std::size_t>(n)))
                    n = -1;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                wait_writable(pass_fd_);
                continue;
            }
            if (n < 0)
                pass_fd_ = -1;
            // Nothing more to read: the file was cut shorter meanwhile.
            if (n <= 0)
                return;
            offset += n;
            size -= static_cast<std::size_t>(n);
        }
    }

    // Output passed on to /dev/null is read by nobody: it need not be copied there.
    static bool is_null_device(int fd) {
        struct stat out {
        }, null{};
        return fd >= 0 && ::fstat(fd, &out) == 0 && S_ISCHR(out.st_mode) &&
               ::stat("/dev/null", &null) == 0 && out.st_rdev == null.st_rdev;
    }

    static void wait_writable(int fd) {
        pollfd p{fd, POLLOUT, 0};
        while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
        }
    }

    static bool write_whole(int fd, const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                wait_writable(fd);
                continue;
            }
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // What the file holds beyond what was read, up to read_limit, straight into the caller's
    // buffer (which keeps its storage between portions).
    std::size_t read_file(std::string& output) {
        struct stat st {};
        if (::fstat(output_.get(), &st) != 0 || st.st_size <= read_)
            return 0;
        const auto want = static_cast<std::size_t>(
            std::min<off_t>(st.st_size - read_, static_cast<off_t>(read_limit)));
        const std::size_t had = output.size();
        output.resize(had + want);
        ssize_t n;
        while ((n = ::read(output_.get(), output.data() + had, want)) < 0 && errno == EINTR) {
        }
        const std::size_t got = n > 0 ? static_cast<std::size_t>(n) : 0;
        output.resize(had + got);
        read_ += static_cast<off_t>(got);
        return got;
    }

    // Once the model has ended, all it wrote is in the pipe; what it started may write on, so
    // the read stops at an empty pipe or the limit.
    std::size_t read_pipe(std::string& output, bool ended) {
        std::size_t got = 0;
        const std::size_t limit = ended ? 16 * read_limit : read_limit;
        while (got < limit) {
            ssize_t n = ::read(output_.get(), buffer_.data(), buffer_.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0) {
                // Every writer has closed its end: nothing more will come.
                output_.reset();
                break;
            }
            if (n < 0)
                break;
            output.append(buffer_.data(), static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
        }
        return got;
    }

    int shared_slot_;  // the run's slot with the shared watcher; -1: a watcher of its own
    pid_t pid_;
    std::string mark_;
    Fd output_;
    Fd changes_;
    int watch_;
    bool is_file_;
    off_t read_ = 0;
    std::optional<off_t> end_size_;
    Fd pidfd_;
    pid_t watcher_;
    Fd guard_;
    bool reaped_ = false;
    int status_ = 0;
    bool passing_ = false;
    int pass_fd_ = -1;
    bool through_buffer_ = false;
    std::vector<char> buffer_ = std::vector<char>(is_file_ ? 0 : pipe_size);
};

// Opens OUTPUT_FILE for the model to write (created, or emptied) and for reading it back.
// Returns the model's end and the reading end.
std::pair<Fd, OutputSource> output_into_file(const std::string& output_file) {
    // An empty file is not cut again: on some file systems (ext4) every truncation makes the
    // next close of the file push all that was written into it to the disk, and a later fsync
    // of any other file (the run record's) then waits until the whole output is written.
    Fd write_end(::open(output_file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    struct stat st {};
    if (write_end.get() < 0 || ::fstat(write_end.get(), &st) != 0 ||
        (S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(write_end.get(), 0) != 0))
        throw system_error(err::path_access, errno);
    OutputSource source;
    source.is_file = true;
    source.fd = Fd(::open(output_file.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.fd.get() < 0)
        throw system_error(err::path_access, errno);
    source.changes = change_watches::pool().take();
    if (source.changes.get() >= 0) {
        source.watch = ::inotify_add_watch(source.changes.get(), output_file.c_str(), IN_MODIFY);
        if (source.watch < 0)
            change_watches::pool().give_back(std::move(source.changes), -1);
    }
    return {std::move(write_end), std::move(source)};
}

}  // namespace

std::unique_ptr<ModelProcess> PosixModelLauncher::launch(const std::string& program,
                                                         const std::vector<std::string>& args,
                                                         const std::string& working_dir,
                                                         const std::string& output_file) {
    Command cmd(program, args, working_dir);
    std::string mark = new_run_mark();
    cmd.set_environment(mark);
    Fd null_fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (null_fd.get() < 0)
        throw system_error(err::path_access, errno);
    Pipe status = make_pipe();
    Fd model_output;
    OutputSource source;
    if (output_file.empty()) {
        Pipe output = make_pipe();
        model_output = std::move(output.write);
        source.fd = std::move(output.read);
    } else {
        std::tie(model_output, source) = output_into_file(output_file);
    }

    const pid_t parent = ::getpid();
    const bool from_main_thread = ::gettid() == parent;
    StartedChildren& children = started_children();
    std::unique_lock started(children.mutex);
    const pid_t pid = ::fork();
    if (pid < 0)
        throw system_error(err::path_access, errno);
    if (pid == 0)
        exec_model(cmd, parent, from_main_thread, null_fd.get(), model_output.get(),
                   status.write.get());
    children.add(pid);
    started.unlock();
    // Both sides set the group, so that it is in place whichever runs first.
    ::setpgid(pid, pid);
    status.write.reset();
    model_output.reset();
    StartFailure failure{};
    if (read_failure(status.read.get(), failure)) {
        int ignored = 0;
        reap_child(pid, &ignored);
        children.remove(pid);
        throw start_error(failure);
    }

    Fd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const int slot = shared_watch::watcher().started(pid, mark);
    pid_t watcher = 0;
    Pipe guard;
    if (slot < 0) {
        guard = make_pipe();
        started.lock();
        watcher = ::fork();
        if (watcher == 0)
            watch(guard.read.get(), pid, mark);
        if (watcher > 0)
            children.add(watcher);
        started.unlock();
        guard.read.reset();
    }
    // Without a watcher a model started on the main thread still ends with this program
    // (PR_SET_PDEATHSIG).
    return std::make_unique<PosixModelProcess>(pid, std::move(mark), std::move(source),
                                               std::move(pidfd), slot, watcher > 0 ? watcher : 0,
                                               std::move(guard.write));
}

}  // namespace qv
