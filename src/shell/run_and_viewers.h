#pragma once

#include "scenario/session.h"
#include "shell/services.h"

namespace qv {

class QVGui;

// Connects the main window's Model menu (Run, Re&ports), "&View Message File" and F12 to the
// model run with its window and to the outside viewers. The services must outlive the window.
void connect_run_and_viewers(QVGui& main, Session& s, const ShellServices& services);

}  // namespace qv
