#pragma once

#include <string>
#include <vector>

#include "platform/process.h"
#include "scenario/session.h"

namespace qv {

// The plain-text viewer of this platform: the desktop's handler for the file, started
// detached with the file's host path as its one argument.
inline constexpr const char* text_viewer_program = "xdg-open";

// Opens a file (program or host path) in the text viewer; says so when the viewer cannot start.
void start_text_viewer(Session& s, Processes& processes, const std::string& path);

// access_exe, the reference database and its settings file in model_dir\reports, as one
// command line (program form).
std::string reports_command_line(const ShellSettings& settings);

// The Model menu's Re&ports: makes model_dir\reports the current directory (it stays so) and
// starts the reporting tool on the reference database, not waited for. An empty access_exe
// means this installation has no reporting tool: nothing is started.
void start_reporting_utility(Session& s, Processes& processes);

// message_dir\message_file_name, or message_file_name alone when it carries a directory.
std::string message_file_path(const Scenario& sc);

// The eight lines of the "File Status" window, top to bottom, values lower-cased.
std::vector<std::string> file_status_lines(const Session& s);

// "Version " + major.minor.revision of this program.
std::string version_text();

// What the about window shows under the version: with no command-line arguments, the
// executable's path, two blanks and its modification time; otherwise the arguments as given.
std::string about_detail_text(const std::string& executable, const std::string& modified,
                              const std::string& arguments);

// Where the about window says qv-gui.ini and region.txt are when they are not beside the
// executable; empty when they are.
std::string settings_place_text(const ShellSettings& settings);

// The lines the diagnostic window lists for an options file: its first line, then every
// packet whose header line is exactly one of the listed headers, header and body, without the
// "/END/" line that closes it. Other packets and lines outside packets are left out.
std::vector<std::string> diag_packet_lines(const std::string& bytes);

}  // namespace qv
