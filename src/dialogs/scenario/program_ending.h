#pragma once

#include <QCoreApplication>

#include "shell/application.h"

namespace qv {

// True once an event step has ended the program: the application then closes every window,
// and a window closed that way has nothing to check or store.
inline bool program_ending() {
    const auto* app = dynamic_cast<const Application*>(QCoreApplication::instance());
    return app && app->ended();
}

}  // namespace qv
