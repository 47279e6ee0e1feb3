#include "runs/run_facts.h"

#include <cstring>

namespace qv::runs {

bool RunFacts::succeeded() const {
    if (!was_started || !exit_status || *exit_status != 0 || !stopped.empty() || !failure.empty())
        return false;
    for (const auto& r : results)
        if ((r.role == "message" || r.role == "output") && !r.written_by_this_run)
            return false;
    return true;
}

std::string signal_name(int signal) {
    const char* name = strsignal(signal);
    return name ? name : "Unknown signal " + std::to_string(signal);
}

std::string exit_description(const RunFacts& facts) {
    if (facts.signal)
        return "ended by signal " + std::to_string(*facts.signal) + " (" +
               signal_name(*facts.signal) + ")";
    if (facts.exit_status)
        return "exit status " + std::to_string(*facts.exit_status);
    return "not started";
}

}  // namespace qv::runs
