#pragma once

#include <memory>

#include "scenario/session.h"

namespace qv {

// A session of its own holding what S holds (scenario, settings, state table, the file stamp),
// with no window behind it and a run log kept in memory. Work that applies changes and saves
// files under other names (making variants) runs on such a copy, so the window's session keeps
// its scenario, its current file, its caption and its summary whatever happens.
std::unique_ptr<Session> session_copy(const Session& s, Ui& ui);

// Writes the lines the copy logged into the run log of S, so that they are not lost.
void pass_on_log(const Session& copy, Session& s);

}  // namespace qv
