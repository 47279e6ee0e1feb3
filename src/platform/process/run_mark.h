#pragma once

// Finding every process of one model run, wherever it went: a process that leaves the model's
// process group (setsid(), a daemon's double fork) keeps the environment it was started with,
// and with it the run's mark. POSIX (Linux /proc) only.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::posix {

// The environment variable that carries the mark.
inline constexpr std::string_view run_mark_variable = "QV_RUN_MARK";

// A mark no other run on this machine has: "QV_RUN_MARK=<pid>.<n>.<ns>", an environment entry.
std::string new_run_mark();

// Sends SIG to every process of this user, other than the caller, whose environment holds MARK
// (a whole entry), and returns how many it reached; SIG 0 only counts them. Zombies, whose
// environment is gone, are not counted. Async-signal-safe, so a forked child of a program with
// threads may call it.
std::size_t signal_marked(std::string_view mark, int sig);

// Whether this process is a child subreaper and every child of it is in KNOWN (sorted): then
// nothing that a reaped model started is still running, for what it leaves behind is passed to
// this process as a child. False when that cannot be told (no such listing of the children).
bool only_known_children(const std::vector<pid_t>& known);

}  // namespace qv::posix
