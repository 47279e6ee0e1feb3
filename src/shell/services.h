#pragma once

#include "platform/hash.h"
#include "platform/model_launcher.h"
#include "platform/process.h"

namespace qv {

// What qv-gui's windows use of the outside world beyond the session's file system, user
// interface and reference engine: made once in main.cpp and passed to the windows, which never
// make their own.
struct ShellServices {
    const Hasher& hasher;
    ModelLauncher& launcher;
    Processes& processes;
};

}  // namespace qv
