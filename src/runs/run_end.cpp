#include "runs/run_end.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qv::runs {

std::string_view stop_reason_word(StopReason reason) {
    switch (reason) {
        case StopReason::user:
            return "user";
        case StopReason::time_limit:
            return "time limit";
        case StopReason::none:
            break;
    }
    return "";
}

std::optional<StopReason> stop_reason_of_word(std::string_view word) {
    for (StopReason r : {StopReason::none, StopReason::user, StopReason::time_limit})
        if (word == stop_reason_word(r))
            return r;
    return std::nullopt;
}

std::string signal_name(int signal) {
    const char* name = strsignal(signal);
    return name ? name : "Unknown signal " + std::to_string(signal);
}

std::string exit_description(const RunEnd& end) {
    if (end.signal)
        return "ended by signal " + std::to_string(*end.signal) + " (" + signal_name(*end.signal) +
               ")";
    if (end.exit_status)
        return "exit status " + std::to_string(*end.exit_status);
    return "not started";
}

std::string end_text(const RunEnd& end) {
    if (!end.started)
        return end.failure.empty() ? std::string("not started") : end.failure;
    std::string text = exit_description(end);
    switch (end.stopped) {
        case StopReason::user:
            return text + ", stopped by the user";
        case StopReason::time_limit:
            // The failure says the same, with the limit.
            return text + ", stopped at the time limit";
        case StopReason::none:
            break;
    }
    if (!end.failure.empty())
        text += ", " + end.failure;
    return text;
}

std::string duration_text(std::chrono::milliseconds duration) {
    const long long ms = duration.count();
    char text[48];
    if (ms < 60'000) {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    } else if (ms < 3'600'000) {
        const long long s = ms / 1000;
        std::snprintf(text, sizeof text, "%lld min %02lld s", s / 60, s % 60);
    } else {
        const long long m = ms / 60'000;
        std::snprintf(text, sizeof text, "%lld h %02lld min", m / 60, m % 60);
    }
    return text;
}

std::string clock_text(std::chrono::milliseconds duration) {
    const long long total = (std::max<long long>(0, duration.count()) + 999) / 1000;
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
    return text;
}

}  // namespace qv::runs
