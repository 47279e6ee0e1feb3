#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/services.h"

namespace qv::cli {

// The qvopt command line over the services main.cpp made; returns the exit status.
int run_qvopt(int argc, char** argv, std::ostream& out, std::ostream& err,
              const Services& services);
// The same for callers inside another program (tests, benchmarks), over the host's services as
// main.cpp makes them; args[0] is the program name, as in argv.
int run_qvopt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qv::cli
