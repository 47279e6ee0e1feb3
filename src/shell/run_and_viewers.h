#pragma once

#include "platform/process.h"
#include "scenario/session.h"

namespace qv {

class QVGui;

// Connects the main window's Model menu (Run, Re&ports), "&View Message File" and F12 to the
// model run with its window and to the outside viewers. `processes` must outlive the window.
void connect_run_and_viewers(QVGui& main, Session& s, Processes& processes);

}  // namespace qv
