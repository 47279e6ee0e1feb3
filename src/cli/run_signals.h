#pragma once

#include "runs/model_process.h"

namespace qv::cli {

// While it lives, SIGINT, SIGTERM and SIGHUP no longer end qvopt at once: they ask `control`'s
// run to stop (its model's whole process group ends as with the Stop button) and wake the run
// through a self-pipe. The earlier handling comes back when it goes.
class StopOnSignals {
  public:
    explicit StopOnSignals(runs::RunControl& control);
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;
};

}  // namespace qv::cli
