#include "shell/last_run.h"

#include <QDateTime>
#include <QLocale>

#include "platform/qt/qt_ui.h"

namespace qv {

std::string local_time_text(std::int64_t ms) {
    return program_text(QLocale::system().toString(QDateTime::fromMSecsSinceEpoch(ms).toLocalTime(),
                                                   QLocale::ShortFormat));
}

LastRunLines last_run_lines(const runs::RecordStatus& status) {
    LastRunLines lines;
    if (!status.record)
        return lines;
    const runs::RunRecord& r = *status.record;
    lines.last_run = "Last run: " + local_time_text(r.ended_ms) + ", " +
                     runs::duration_text(std::chrono::milliseconds(r.ended_ms - r.started_ms)) +
                     ", " + runs::end_text(r.end());
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
