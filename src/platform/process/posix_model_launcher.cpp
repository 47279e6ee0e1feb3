#include "platform/process/posix_model_launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/app_error.h"
#include "platform/process/posix_spawn.h"

namespace qv {

using namespace posix;

namespace {

// How long the watcher gives the model's group after SIGTERM before SIGKILL.
constexpr int watcher_grace_ms = 2000;
// Without a pidfd the model's end is noticed by polling this often.
constexpr int fallback_poll_ms = 10;
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
[[noreturn]] void exec_model(const char* path, char* const* argv, const char* dir, pid_t parent,
                             int null_fd, int out_fd, int status_fd) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have ended before the line above took effect.
    if (::getppid() != parent)
        ::_exit(127);
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
    if (dir && ::chdir(dir) != 0) {
        StartFailure f{1, errno};
        write_all(status_fd, &f, sizeof f);
        ::_exit(127);
    }
    ::execv(path, argv);
    StartFailure f{2, errno};
    write_all(status_fd, &f, sizeof f);
    ::_exit(127);
}

// The watcher, between fork and its end: async-signal-safe calls only. It waits on `guard`; a
// byte means the run ended as it should, end of file means this program is gone, and then the
// model's group is ended.
[[noreturn]] void watch(int guard, pid_t group) {
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    // Ctrl+C and a closing terminal reach this program, which ends the run itself.
    for (int sig : {SIGINT, SIGHUP, SIGQUIT, SIGTERM, SIGPIPE})
        ::sigaction(sig, &ign, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Keeps no other descriptor open, so no other run's watcher waits on this one.
    if (guard > 0)
        ::syscall(SYS_close_range, 0u, static_cast<unsigned>(guard - 1), 0u);
    ::syscall(SYS_close_range, static_cast<unsigned>(guard + 1), ~0u, 0u);
    char byte = 0;
    ssize_t n;
    while ((n = ::read(guard, &byte, 1)) < 0 && errno == EINTR) {
    }
    if (n == 1)
        ::_exit(0);
    ::kill(-group, SIGTERM);
    for (int waited = 0; waited < watcher_grace_ms && ::kill(-group, 0) == 0; waited += 20)
        sleep_ms(20);
    ::kill(-group, SIGKILL);
    ::_exit(0);
}

class PosixModelProcess final : public ModelProcess {
  public:
    PosixModelProcess(pid_t pid, Fd output, Fd pidfd, pid_t watcher, Fd guard)
        : pid_(pid),
          output_(std::move(output)),
          pidfd_(std::move(pidfd)),
          watcher_(watcher),
          guard_(std::move(guard)) {
        ::fcntl(output_.get(), F_SETFL, ::fcntl(output_.get(), F_GETFL) | O_NONBLOCK);
        // A larger pipe lets a model that floods its output write on while a portion is
        // passed on, instead of waiting every 64 KiB; where the system refuses, the pipe
        // keeps its size.
        ::fcntl(output_.get(), F_SETPIPE_SZ, pipe_size);
    }

    // A run given up while its model runs ends the model rather than leave it behind.
    ~PosixModelProcess() override {
        if (!reaped_) {
            kill_group();
            reap();
        }
        if (watcher_ > 0) {
            const char done = 1;
            write_all(guard_.get(), &done, 1);
            guard_.reset();
            int ignored = 0;
            reap_child(watcher_, &ignored);
        }
    }

    bool wait(std::chrono::milliseconds timeout, int wake_fd, std::string& output) override {
        if (reaped_)
            return true;
        if (has_ended()) {
            drain(output, true);
            return true;
        }
        pollfd fds[3];
        nfds_t n = 0;
        const int out_index = output_.get() >= 0 ? static_cast<int>(n) : -1;
        if (output_.get() >= 0)
            fds[n++] = {output_.get(), POLLIN, 0};
        if (pidfd_.get() >= 0)
            fds[n++] = {pidfd_.get(), POLLIN, 0};
        if (wake_fd >= 0)
            fds[n++] = {wake_fd, POLLIN, 0};
        long ms = static_cast<long>(timeout.count());
        if (ms < 0)
            ms = 0;
        if (pidfd_.get() < 0 && ms > fallback_poll_ms)
            ms = fallback_poll_ms;
        const int r = ::poll(fds, n, static_cast<int>(ms));
        if (r > 0 && out_index >= 0 && fds[out_index].revents != 0)
            drain(output, false);
        if (has_ended()) {
            drain(output, true);
            return true;
        }
        return false;
    }

    void terminate_group() override { signal_group(SIGTERM); }
    void kill_group() override { signal_group(SIGKILL); }

    Exit reap() override {
        if (!reaped_) {
            reap_child(pid_, &status_);
            reaped_ = true;
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
    // process group when this is sent.
    void signal_group(int sig) {
        if (reaped_)
            return;
        if (::kill(-pid_, sig) != 0)
            ::kill(pid_, sig);
    }

    bool has_ended() {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid_;
    }

    // Reads what is there without waiting. Once the model has ended, all it wrote is in the
    // pipe; what it started may write on, so the read stops at an empty pipe or the limit.
    void drain(std::string& output, bool ended) {
        if (output_.get() < 0)
            return;
        std::size_t got = 0;
        const std::size_t limit = ended ? 16 * read_limit : read_limit;
        while (got < limit) {
            ssize_t n = ::read(output_.get(), buffer_.data(), buffer_.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0) {
                // Every writer has closed its end: nothing more will come.
                output_.reset();
                return;
            }
            if (n < 0)
                return;
            output.append(buffer_.data(), static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
        }
    }

    pid_t pid_;
    Fd output_;
    Fd pidfd_;
    pid_t watcher_;
    Fd guard_;
    bool reaped_ = false;
    int status_ = 0;
    std::vector<char> buffer_ = std::vector<char>(pipe_size);
};


}  // namespace

std::unique_ptr<ModelProcess> PosixModelLauncher::launch(const std::string& program,
                                                         const std::vector<std::string>& args,
                                                         const std::string& working_dir) {
    Command cmd(program, args, working_dir);
    Fd null_fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (null_fd.get() < 0)
        throw system_error(err::path_access, errno);
    Pipe status = make_pipe();
    Pipe output = make_pipe();
    Pipe guard = make_pipe();

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        throw system_error(err::path_access, errno);
    if (pid == 0)
        exec_model(cmd.path.c_str(), cmd.argv.data(), cmd.dir_or_null(), parent, null_fd.get(),
                   output.write.get(), status.write.get());
    // Both sides set the group, so that it is in place whichever runs first.
    ::setpgid(pid, pid);
    status.write.reset();
    output.write.reset();
    StartFailure failure{};
    if (read_failure(status.read.get(), failure)) {
        int ignored = 0;
        reap_child(pid, &ignored);
        throw start_error(failure);
    }

    Fd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const pid_t watcher = ::fork();
    if (watcher == 0)
        watch(guard.read.get(), pid);
    guard.read.reset();
    // Without a watcher the model still ends with this program's thread (PR_SET_PDEATHSIG).
    return std::make_unique<PosixModelProcess>(pid, std::move(output.read), std::move(pidfd),
                                               watcher > 0 ? watcher : 0, std::move(guard.write));
}

}  // namespace qv
