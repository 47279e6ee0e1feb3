#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qv::cli {

// Exit statuses of qvopt.
namespace exit_status {
constexpr int ok = 0;
constexpr int messages = 1;     // check: the read showed messages
constexpr int usage = 2;        // bad command line
constexpr int ended = 3;        // the program would have ended
constexpr int chooser = 4;      // the program would ask for another options file
constexpr int save_failed = 5;  // the file was not saved
constexpr int run_failed = 6;  // run: some file was not run, or its model did not end with status 0
constexpr int already_running = 7;  // run: a scenario was not run as it is running already
}  // namespace exit_status

// The qvopt command line; returns the exit status.
int run_qvopt(int argc, char** argv);
int run_qvopt(int argc, char** argv, std::ostream& out, std::ostream& err);
// args[0] is the program name, as in argv.
int run_qvopt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qv::cli
