#include "runs/run_facts.h"

namespace qv::runs {

bool RunFacts::succeeded() const {
    if (!was_started || !exit_status || *exit_status != 0 || stopped != StopReason::none ||
        !failure.empty())
        return false;
    for (const auto& r : results)
        if ((r.role == "message" || r.role == "output") && !r.written_by_this_run)
            return false;
    return true;
}

}  // namespace qv::runs
