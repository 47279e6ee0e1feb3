#pragma once

// The exit statuses of qvopt, which every command returns.
namespace qv::cli::exit_status {

constexpr int ok = 0;
constexpr int messages = 1;     // check: the read showed messages
constexpr int usage = 2;        // bad command line
constexpr int ended = 3;        // the program would have ended
constexpr int chooser = 4;      // the program would ask for another options file
constexpr int save_failed = 5;  // the file was not saved
constexpr int run_failed = 6;  // run: some file was not run, or its model did not end with status 0
constexpr int already_running = 7;  // run: a scenario was not run as it is running already

// A qvopt that a signal stopped: 128 + its number (130 for SIGINT, 143 for SIGTERM).
constexpr int of_signal(int signal) {
    return 128 + signal;
}

}  // namespace qv::cli::exit_status
