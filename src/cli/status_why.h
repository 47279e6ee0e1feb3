#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "cli/headless.h"
#include "runs/run_record.h"
#include "scenario/scenario_compare.h"

namespace qv::cli {

// What qvopt status --why adds for one options file: every file that changed since the run and,
// when the options file is among them, the field differences between the scenario that ran and
// the one the file holds now (or why they are not known).
struct StatusWhy {
    std::vector<runs::ChangedFile> changed;
    bool options_changed = false;
    std::vector<Difference> differences;
    std::string unknown;
};

// FILE is read in full, as `show` reads it, only when the options file changed.
StatusWhy status_why(const CommonOptions& common, const char* argv0, const std::string& file,
                     const runs::RecordStatus& status);

// Indented lines under the status line of the file.
void write_status_why(std::ostream& out, const StatusWhy& why);
// "changed": every changed file; "differences": the differences, or null with
// "differences_unknown" saying why.
void add_status_why(nlohmann::ordered_json& entry, const StatusWhy& why);

}  // namespace qv::cli
