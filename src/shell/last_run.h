#pragma once

#include <QColor>
#include <string>

#include "platform/hash.h"
#include "runs/run_record.h"
#include "scenario/session.h"

namespace qv {

// The summary's lines about the record of the scenario's latest run. Both are empty when there
// is no record or it cannot be read; the warning is empty while nothing the run read changed.
struct LastRunLines {
    // "Last run: <date> <time>, <duration>, <how it ended>" (runs::end_text).
    std::string last_run;
    std::string warning;  // "Inputs changed since this run: <file> (and N more)"
};

LastRunLines last_run_lines(const runs::RecordStatus& status);
LastRunLines last_run_lines(const Session& s, const Hasher& hasher);

// A local date and time in the system's short format, from milliseconds since the epoch.
std::string local_time_text(std::int64_t ms);

// The colour the main window and the Run Record window give to what changed since a run.
QColor warning_colour();

}  // namespace qv
