#pragma once

#include <string>

#include "scenario/session.h"

namespace qv {

// The value of a configuration line: the text before its first TAB, or the whole line.
std::string config_value(const std::string& line);

// True when a listing of the path (a pattern is allowed) with the attribute filter finds an entry.
bool file_exists(const FileSystem& fs, const std::string& path, int attributes);

struct ConfigOutcome {
    bool reports_enabled = true;
    bool run_enabled = true;
};

// Reads config_path into the settings and checks every path; a missing one shows its message
// and ends through Fini. An empty sixth line means there is no reporting tool.
ConfigOutcome read_config_file(Session& s);
// Writes qv-gui.ini in app_dir (or the settings folder) from the current values.
void write_config_file(Session& s);

}  // namespace qv
