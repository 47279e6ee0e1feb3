#include "cli/run_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace qv::cli {

namespace {

constexpr int stop_signals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler reaches its run only through process-wide state; one set at a time.
std::atomic<runs::RunControl*> active_control{nullptr};
std::atomic<int> wake_write{-1};
int wake_read = -1;
struct sigaction previous[std::size(stop_signals)];

void on_signal(int signal) {
    const int saved_errno = errno;
    if (runs::RunControl* control = active_control.load())
        control->stop_on_signal(signal);
    const char byte = 1;
    if (const int fd = wake_write.load(); fd >= 0) [[maybe_unused]]
        auto ignored = ::write(fd, &byte, 1);
    errno = saved_errno;
}

}  // namespace

StopOnSignals::StopOnSignals(runs::RunControl& control) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wake_read = fds[0];
        wake_write.store(fds[1]);
        control.wake_fd = wake_read;
    }
    active_control.store(&control);
    struct sigaction action {};
    action.sa_handler = on_signal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(stop_signals); ++i)
        ::sigaction(stop_signals[i], &action, &previous[i]);
}

StopOnSignals::~StopOnSignals() {
    for (std::size_t i = 0; i < std::size(stop_signals); ++i)
        ::sigaction(stop_signals[i], &previous[i], nullptr);
    active_control.store(nullptr);
    const int fd = wake_write.exchange(-1);
    if (fd >= 0)
        ::close(fd);
    if (wake_read >= 0)
        ::close(wake_read);
    wake_read = -1;
}

}  // namespace qv::cli
