#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/headless.h"

namespace qv::cli {

// qvopt run: saves each FILE and runs the model on it, its output passed on as it comes.
// Returns exit_status::ok, or exit_status::run_failed when any file was not run or its model
// did not end with status 0.
int run_command(const CommonOptions& common, const char* argv0,
                const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

}  // namespace qv::cli
