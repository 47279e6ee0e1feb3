#pragma once

// The fork/exec pieces that the model launcher and the detached starts share: POSIX only.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/app_error.h"

namespace qv::posix {

// An owned file descriptor, closed when dropped.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        reset(other.release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);

  private:
    int fd_ = -1;
};

struct Pipe {
    Fd read, write;
};

// The run's error number, with the system's reason ("Permission denied") as its description.
AppError system_error(int number, int error);

// A pipe whose ends are closed on exec.
Pipe make_pipe();

// What a child that could not exec reports back through the status pipe.
struct StartFailure {
    int stage;  // 1: entering the working directory, 2: exec
    int error;
};

AppError start_error(const StartFailure& f);

// The file exec is to run: found in PATH for a bare name, made absolute otherwise, so that the
// child's change of directory cannot change which program runs.
std::string resolve_program(const std::string& program);

// Async-signal-safe: the child uses it to report a StartFailure.
void write_all(int fd, const void* data, std::size_t size);

// Reads what the child reported before its exec; false when the exec succeeded (end of file).
bool read_failure(int fd, StartFailure& f);

// Waits for a child, through interruptions.
void reap_child(pid_t pid, int* status);

// A program and its arguments as exec takes them, resolved before the fork.
struct Command {
    std::string path;
    std::vector<std::string> args;
    std::vector<char*> argv;
    std::string dir;

    // Empty: the program gets this program's environment; else the entries it gets.
    std::vector<std::string> env;
    std::vector<char*> envp;

    Command(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& working_dir);
    // The program gets this program's environment with ENTRY ("NAME=value") set in it.
    void set_environment(const std::string& entry);
    // In the child between fork and exec (async-signal-safe): enters the working directory and
    // execs, reporting a failure of either as a StartFailure on STATUS_FD.
    [[noreturn]] void exec(int status_fd) const;
};

}  // namespace qv::posix
