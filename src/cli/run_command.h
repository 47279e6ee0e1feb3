#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/headless.h"
#include "cli/services.h"

namespace qv::cli {

struct RunOptions {
    std::vector<std::string> files;
    // A model still running after this long is stopped and its run fails.
    std::optional<std::chrono::seconds> timeout;
};

// qvopt run: saves each FILE and runs the model on it, its output passed on byte for byte as it
// comes and written whole to `<output data file>.log`. Returns exit_status::ok,
// exit_status::run_failed when any file was not run or its run failed, or 128 + the signal's
// number when SIGINT, SIGTERM or SIGHUP stopped it (the model's process group is ended first).
int run_command(const CommonOptions& common, const char* argv0, const RunOptions& options,
                std::ostream& out, std::ostream& err, const Services& services);

}  // namespace qv::cli
