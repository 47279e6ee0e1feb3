#include "platform/process/posix_processes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/app_error.h"

namespace qv {

namespace {

// What a child that could not exec reports back through the status pipe.
struct StartFailure {
    int stage;  // 1: entering the working directory, 2: exec
    int error;
};

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

struct Pipe {
    Fd read, write;
};

Pipe make_pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw path_access_error();
    return {Fd(fds[0]), Fd(fds[1])};
}

bool executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The file exec is to run: found in PATH for a bare name, made absolute otherwise, so that the
// child's change of directory cannot change which program runs.
std::string resolve_program(const std::string& program) {
    if (program.empty() || program.find('\0') != std::string::npos)
        throw file_not_found_error();
    if (program.find('/') == std::string::npos) {
        const char* env = std::getenv("PATH");
        std::string path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find(':', start);
            if (end == std::string::npos)
                end = path.size();
            std::string dir = path.substr(start, end - start);
            std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
            if (executable_file(candidate))
                return candidate;
            start = end + 1;
        }
        throw file_not_found_error();
    }
    std::error_code ec;
    std::string absolute = std::filesystem::absolute(program, ec).string();
    if (ec)
        throw file_not_found_error();
    struct stat st {};
    if (::stat(absolute.c_str(), &st) != 0)
        throw file_not_found_error();
    return absolute;
}

AppError start_error(const StartFailure& f) {
    if (f.stage == 1)
        return AppError(err::path_not_found, "Path not found");
    if (f.error == ENOENT || f.error == ENOTDIR)
        return file_not_found_error();
    return path_access_error();
}

void write_all(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Reads what the child reported before its exec; false when the exec succeeded (end of file).
bool read_failure(int fd, StartFailure& f) {
    std::size_t got = 0;
    char* p = reinterpret_cast<char*>(&f);
    while (got < sizeof f) {
        ssize_t n = ::read(fd, p + got, sizeof f - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got == sizeof f;
}

void wait_for(pid_t pid, int* status) {
    while (::waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
}

// Runs in the child between fork and exec: async-signal-safe calls only.
[[noreturn]] void exec_child(const char* path, char* const* argv, const char* dir, int status_fd) {
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

struct Command {
    std::string path;
    std::vector<std::string> args;
    std::vector<char*> argv;
    std::string dir;

    Command(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& working_dir)
        : path(resolve_program(program)), args(arguments), dir(working_dir) {
        argv.push_back(path.data());
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
    }
    const char* dir_or_null() const { return dir.empty() ? nullptr : dir.c_str(); }
};

}  // namespace

void PosixProcesses::start_detached(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const std::string& working_dir) {
    Command cmd(program, args, working_dir);
    Pipe status = make_pipe();
    // The intermediate child ends at once and is reaped here; the program runs in the
    // grandchild, in a session of its own, and is nobody's child of ours.
    pid_t pid = ::fork();
    if (pid < 0)
        throw path_access_error();
    if (pid == 0) {
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0)
            exec_child(cmd.path.c_str(), cmd.argv.data(), cmd.dir_or_null(), status.write.get());
        if (grandchild < 0) {
            StartFailure f{2, errno};
            write_all(status.write.get(), &f, sizeof f);
        }
        ::_exit(0);
    }
    status.write.reset();
    int ignored = 0;
    wait_for(pid, &ignored);
    StartFailure failure{};
    if (read_failure(status.read.get(), failure))
        throw start_error(failure);
}

}  // namespace qv
