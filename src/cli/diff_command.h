#pragma once

#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/headless.h"
#include "scenario/scenario_compare.h"

namespace qv::cli {

// qvopt diff A B: what differs between two scenarios, field by field. Each of A and B is an
// options file, read as `show` reads it, or a run record, which stands for the scenario as its
// run had it. Exit status 0 when nothing differs, 1 when something does, 2 for a file that
// cannot be read or compared, and the read's own 3 or 4.
int diff_command(const CommonOptions& common, const char* argv0, const std::string& a,
                 const std::string& b, bool json, std::ostream& out, std::ostream& err);

// One object {"packet", "field", "a", "b"} per difference; a side that lacks the item is null.
nlohmann::ordered_json differences_json(const std::vector<Difference>& diffs);

}  // namespace qv::cli
