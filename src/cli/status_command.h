#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/headless.h"
#include "platform/hash.h"

namespace qv::cli {

// qvopt status: for each options file, whether the results of its latest run still match the
// scenario, its inputs, the model and the reference database. Exit status 0 when every file is
// up to date, 1 otherwise. With `why`, every changed file and what changed in the scenario.
int status_command(const CommonOptions& common, const char* argv0,
                   const std::vector<std::string>& files, bool json, std::ostream& out,
                   const Hasher& hasher, bool why = false);

// qvopt verify: hashes every file a run record names again; 0 when the record still holds.
int verify_command(const std::string& record, std::ostream& out, const Hasher& hasher);

}  // namespace qv::cli
