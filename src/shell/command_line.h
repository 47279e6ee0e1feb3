#pragma once

#include <string>
#include <vector>

namespace qv {

// What qv-gui's command line asks for. Other arguments are shown by the About window; the first
// that is no option names the options file to open (options_file_argument).
struct CommandLine {
    enum class Action { OpenWindow, PrintVersion, PrintHelp };
    Action action = Action::OpenWindow;
};

// The arguments after the program name. "--version" and "--help" (or "-h") anywhere print and
// end without a window; the first of them counts.
CommandLine parse_command_line(const std::vector<std::string>& args);

// What is printed for PrintVersion and PrintHelp, each ending in a line feed.
std::string version_line();
std::string help_text();

}  // namespace qv
