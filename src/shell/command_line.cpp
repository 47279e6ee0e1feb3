#include "shell/command_line.h"

#include "qv_version.h"

namespace qv {

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine line;
    for (const auto& a : args) {
        if (a == "--version")
            line.action = CommandLine::Action::PrintVersion;
        else if (a == "--help" || a == "-h")
            line.action = CommandLine::Action::PrintHelp;
        if (line.action != CommandLine::Action::OpenWindow)
            break;
    }
    return line;
}

std::string version_line() {
    return std::string("qv-gui ") + program_version_text + "\n";
}

std::string help_text() {
    return "Usage: qv-gui [FILE] [--version | --help]\n"
           "\n"
           "The desktop front end of the off-road emissions model: edits, checks, saves and runs\n"
           "options files. It opens its main window on the default options file that qv-gui.ini\n"
           "names; on the first start it asks for the paths it needs (an installed qv-gui first\n"
           "offers its demo workspace).\n"
           "\n"
           "  FILE        open this options file instead of the default one\n"
           "  --version   print the version and exit\n"
           "  --help, -h  print this text and exit\n"
           "\n"
           "qv-gui.ini and the run log region.txt are kept beside the executable, or in the\n"
           "per-user configuration folder ($XDG_CONFIG_HOME/qv-gui, by default ~/.config/qv-gui)\n"
           "when that folder is not writable or qv-gui is installed. qvopt is the command-line\n"
           "companion (qvopt --help).\n";
}

}  // namespace qv
