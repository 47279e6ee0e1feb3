#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qv::test {

// Starts ARGS (ARGS[0] a path) without waiting for it, its standard output written to OUT and
// its errors to ERR (both to OUT when ERR is empty); ENV, when given, is its whole environment.
// Returns its process id, 0 when it could not be started.
pid_t spawn(std::vector<std::string> args, const std::string& out, const std::string& err = {},
            std::optional<std::vector<std::string>> env = std::nullopt);

// Waits, up to WITHIN, for PID to end: true once it is gone or a zombie. A process that outlived
// its parent is reaped by whatever adopted it, and in a container that may be never.
bool ends_within(pid_t pid, std::chrono::milliseconds within = std::chrono::seconds(10));

}  // namespace qv::test
