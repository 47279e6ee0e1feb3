#pragma once

#include "platform/hash.h"
#include "platform/model_launcher.h"

namespace qv::cli {

// What qvopt's commands use of the outside world beyond a session's own file system, user
// interface and reference engine: made once in main.cpp and passed to every command.
struct Services {
    const Hasher& hasher;
    ModelLauncher& launcher;
    // The descriptor behind the commands' `out` (the program's standard output), to which a
    // model's output may go straight from its log; -1 when `out` is no descriptor's.
    int out_fd = -1;
    // True in qvopt's own process, which ends when the command returns: what a command's
    // scenario holds is then left to the end of the process instead of being freed entry by
    // entry. False where commands run inside a process that goes on (tests).
    bool ends_process = false;
};

}  // namespace qv::cli
