#include "platform/qt/tied_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QProcess>

namespace qv {

void end_with_this_program(QProcess& process) {
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec: async-signal-safe calls only.
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // This program may have ended before the line above took effect.
        if (::getppid() != parent)
            ::_exit(127);
    });
}

}  // namespace qv
