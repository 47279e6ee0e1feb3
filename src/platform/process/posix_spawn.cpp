#include "platform/process/posix_spawn.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

extern char** environ;

namespace qv::posix {

void Fd::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

// The run's error number, with the system's reason ("Permission denied") as its description.
AppError system_error(int number, int error) {
    return AppError(number, std::strerror(error));
}

Pipe make_pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw system_error(err::path_access, errno);
    return {Fd(fds[0]), Fd(fds[1])};
}

AppError start_error(const StartFailure& f) {
    if (f.stage == 1)
        return system_error(err::path_not_found, f.error);
    if (f.error == ENOENT || f.error == ENOTDIR)
        return system_error(err::file_not_found, f.error);
    return system_error(err::path_access, f.error);
}

// The file exec is to run: found in PATH for a bare name, made absolute otherwise, so that the
// child's change of directory cannot change which program runs.
std::string resolve_program(const std::string& program) {
    if (program.empty() || program.find('\0') != std::string::npos)
        throw system_error(err::file_not_found, ENOENT);
    if (program.find('/') == std::string::npos) {
        const char* env = std::getenv("PATH");
        const std::string path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
        int reason = ENOENT;
        for (std::size_t start = 0; start <= path.size();) {
            std::size_t end = path.find(':', start);
            if (end == std::string::npos)
                end = path.size();
            const std::string dir = path.substr(start, end - start);
            const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                if (::access(candidate.c_str(), X_OK) == 0)
                    return candidate;
                reason = EACCES;
            }
            start = end + 1;
        }
        if (reason == EACCES)
            throw system_error(err::path_access, reason);
        throw system_error(err::file_not_found, reason);
    }
    std::error_code ec;
    std::string absolute = std::filesystem::absolute(program, ec).string();
    struct stat st {};
    if (ec || ::stat(absolute.c_str(), &st) != 0)
        throw system_error(err::file_not_found, ec ? ENOENT : errno);
    return absolute;
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

void reap_child(pid_t pid, int* status) {
    while (::waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
}

Command::Command(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& working_dir)
    : path(resolve_program(program)), args(arguments), dir(working_dir) {
    argv.push_back(path.data());
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
}

void Command::set_environment(const std::string& entry) {
    const std::string prefix = entry.substr(0, entry.find('=') + 1);
    env.clear();
    for (char** e = environ; e && *e; ++e)
        if (std::string_view(*e).substr(0, prefix.size()) != prefix)
            env.emplace_back(*e);
    env.push_back(entry);
    envp.clear();
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
}

void Command::exec(int status_fd) const {
    if (!dir.empty() && ::chdir(dir.c_str()) != 0) {
        StartFailure f{1, errno};
        write_all(status_fd, &f, sizeof f);
        ::_exit(127);
    }
    if (envp.empty())
        ::execv(path.c_str(), argv.data());
    else
        ::execve(path.c_str(), argv.data(), envp.data());
    StartFailure f{2, errno};
    write_all(status_fd, &f, sizeof f);
    ::_exit(127);
}

}  // namespace qv::posix
