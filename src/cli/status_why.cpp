#include "cli/status_why.h"

#include "cli/diff_command.h"
#include "runs/recorded_scenario.h"

namespace qv::cli {

StatusWhy status_why(const CommonOptions& common, const char* argv0, const std::string& file,
                     const runs::RecordStatus& status) {
    StatusWhy why;
    why.changed = status.changed;
    for (const auto& c : status.changed)
        why.options_changed |= c.role == "options file";
    if (!why.options_changed || !status.record)
        return why;
    HeadlessSession now(common, argv0);
    if (!now.open(file) || now.s.read_incomplete) {
        why.unknown = "the options file could not be read";
        return why;
    }
    auto changes = runs::changes_since_run(now.s, *status.record, now.ui);
    why.differences = std::move(changes.differences);
    why.unknown = std::move(changes.unknown);
    return why;
}

void write_status_why(std::ostream& out, const StatusWhy& why) {
    if (!why.changed.empty()) {
        out << "  changed files:\n";
        for (const auto& c : why.changed)
            out << "    " << c.role << ' ' << c.path << ' ' << c.change << '\n';
    }
    if (!why.options_changed)
        return;
    if (!why.unknown.empty()) {
        out << "  changed in the scenario: " << why.unknown << '\n';
        return;
    }
    if (why.differences.empty()) {
        out << "  changed in the scenario: nothing but blank lines or the save stamp\n";
        return;
    }
    out << "  changed in the scenario:\n";
    for (const auto& line : difference_lines(why.differences))
        out << "    " << line << '\n';
}

void add_status_why(nlohmann::ordered_json& entry, const StatusWhy& why) {
    if (!why.options_changed)
        return;
    if (!why.unknown.empty()) {
        entry["differences"] = nullptr;
        entry["differences_unknown"] = why.unknown;
        return;
    }
    entry["differences"] = differences_json(why.differences);
}

}  // namespace qv::cli
