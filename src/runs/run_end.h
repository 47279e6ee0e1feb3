#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace qv::runs {

// Why a run ended the model before it ended by itself.
enum class StopReason { none, user, time_limit };

// The word a run record keeps for a reason: "", "user", "time limit".
std::string_view stop_reason_word(StopReason reason);
// The reason a record's word stands for; nothing for a word no program writes.
std::optional<StopReason> stop_reason_of_word(std::string_view word);

// How one run ended, as the run function reports it and its record keeps it.
struct RunEnd {
    bool started = false;  // the model process was started
    std::optional<int> exit_status;
    std::optional<int> signal;
    StopReason stopped = StopReason::none;
    std::string failure;  // why the run failed beyond the model's exit; "" when it did not
};

// How the model process ended: "exit status 1", "ended by signal 11 (Segmentation fault)", or
// "not started".
std::string exit_description(const RunEnd& end);

// How the run ended, for every report of it (qvopt, the main window's Last run line, the Run
// Record window, the Batch window): the model's end, then ", stopped by the user" or
// ", stopped at the time limit", or else ", " and the failure, when there is one. A run whose
// model never started is its failure ("not started" without one).
std::string end_text(const RunEnd& end);

// The system's name of a signal, such as "Segmentation fault".
std::string signal_name(int signal);

// A run's duration for people: "0.4 s", "12.3 s", "3 min 05 s", "2 h 07 min".
std::string duration_text(std::chrono::milliseconds duration);

// Hours, minutes and seconds, "1:02:05", of elapsed time or time left; a part of a second
// counts as a whole one, so time left never reads 0:00:00 while something is left.
std::string clock_text(std::chrono::milliseconds duration);

}  // namespace qv::runs
