#include "shell/last_run.h"

#include <QDateTime>
#include <QLocale>
#include <cstdio>

#include "platform/qt/qt_ui.h"

namespace qv {

std::string duration_text(std::int64_t ms) {
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

std::string local_time_text(std::int64_t ms) {
    return program_text(QLocale::system().toString(QDateTime::fromMSecsSinceEpoch(ms).toLocalTime(),
                                                   QLocale::ShortFormat));
}

LastRunLines last_run_lines(const runs::RecordStatus& status) {
    LastRunLines lines;
    if (!status.record)
        return lines;
    const runs::RunRecord& r = *status.record;
    std::string end;
    if (r.signal)
        end = "ended by signal " + std::to_string(*r.signal);
    else if (r.exit_status)
        end = "exit status " + std::to_string(*r.exit_status);
    else
        end = "not started";
    if (!r.stopped.empty())
        end += " (stopped: " + r.stopped + ")";
    lines.last_run = "Last run: " + local_time_text(r.ended_ms) + ", " +
                     duration_text(r.ended_ms - r.started_ms) + ", " + end;
    const auto changed = status.changed_inputs();
    if (!changed.empty()) {
        lines.warning = "Inputs changed since this run: " + changed.front().path;
        if (changed.size() > 1)
            lines.warning += " (and " + std::to_string(changed.size() - 1) + " more)";
    }
    return lines;
}

LastRunLines last_run_lines(const Session& s, const Hasher& hasher) {
    const std::string record = runs::record_path_of(s);
    if (record.empty())
        return {};
    return last_run_lines(runs::check_record(record, s.fs, hasher));
}

QColor warning_colour() {
    return QColor(0xb0, 0x20, 0x00);
}

}  // namespace qv
