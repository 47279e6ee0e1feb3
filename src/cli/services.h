#pragma once

#include "platform/hash.h"
#include "platform/model_launcher.h"

namespace qv::cli {

// What qvopt's commands use of the outside world beyond a session's own file system, user
// interface and reference engine: made once in main.cpp and passed to every command.
struct Services {
    const Hasher& hasher;
    ModelLauncher& launcher;
};

}  // namespace qv::cli
