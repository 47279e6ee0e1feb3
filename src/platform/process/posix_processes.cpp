#include "platform/process/posix_processes.h"

#include <unistd.h>

#include <cerrno>

#include "platform/app_error.h"
#include "platform/process/posix_spawn.h"

namespace qv {

using namespace posix;

namespace {

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
        throw system_error(err::path_access, errno);
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
    reap_child(pid, &ignored);
    StartFailure failure{};
    if (read_failure(status.read.get(), failure))
        throw start_error(failure);
}

}  // namespace qv
