#include "platform/process/posix_processes.h"

#include <unistd.h>

#include <cerrno>

#include "platform/app_error.h"
#include "platform/process/posix_spawn.h"

namespace qv {

using namespace posix;

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
            cmd.exec(status.write.get());
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
