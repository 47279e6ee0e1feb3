#pragma once

#include <string>
#include <vector>

namespace qv {

// What qv-gui's command line asks for. Any other argument is the program's own text: the
// About window shows it, and it changes nothing else.
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
