#include "shell/summary.h"

#include "scenario/region_rules.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "platform/qt/qt_ui.h"
#include "scenario/config.h"
#include "scenario/text.h"

namespace qv {

namespace {

// The name shown for a run file: the bare name when it lies in the model's outputs directory.
std::string shown_path(const Session& s, const std::string& dir, const std::string& name) {
    if (same_path_text(lower(dir), lower(join_path(s.settings.model_dir, "outputs"))))
        return name;
    return join_path(dir, name);
}

// Appends the facts of `name` (in the current directory) to `line`; false when a step failed
// or the facts do not fit.
bool append_facts(const Session& s, const std::string& name, int field, std::string& line) {
    if (name.empty() || !file_exists(s.fs, name, attr_normal))
        return true;
    auto facts = s.fs.facts(name);
    if (!facts)
        return false;
    std::string text = file_facts(name, facts->size, facts->mtime, field);
    if (text.empty())
        return false;
    line += text;
    return true;
}

}  // namespace

std::string file_facts(const std::string& name, std::uint64_t size, std::int64_t mtime, int field) {
    const std::string digits = std::to_string(size);
    const int pad1 = field - static_cast<int>(name.size());
    const int pad2 = 8 - static_cast<int>(digits.size() + 1);
    if (pad1 < 0 || pad2 < 0)
        return {};
    return std::string(std::min(pad1, 12), ' ') + std::string(std::min(pad2, 11), ' ') + digits +
           " bytes " + file_date_text(mtime);
}

std::string file_date_text(std::int64_t mtime) {
    return program_text(
        QLocale::system().toString(QDateTime::fromSecsSinceEpoch(mtime), QLocale::ShortFormat));
}

SummaryLines summary_lines(const Session& s) {
    const Scenario& sc = s.sc;
    SummaryLines r;
    r.title = "Simulation Run Title       : " + sc.title1str;
    r.message =
        "Current Message File     : " + lower(shown_path(s, sc.message_dir, sc.message_file_name));
    r.output =
        "Current Output Data File : " + lower(shown_path(s, sc.output_dir, sc.output_file_name));

    bool first_ok = true;
    try {
        s.fs.set_current_dir(sc.output_dir);
    } catch (const AppError&) {
        first_ok = false;
    }
    if (first_ok) {
        try {
            first_ok = append_facts(s, sc.output_file_name, 15, r.output);
        } catch (const AppError&) {
        }
    }

    bool second_ok = true;
    try {
        s.fs.set_current_dir(sc.message_dir);
    } catch (const AppError&) {
        second_ok = false;
    }
    // The button follows the file itself, also when its facts do not fit on the line.
    if (second_ok) {
        try {
            const std::string& name = sc.message_file_name;
            if (!name.empty() && file_exists(s.fs, name, attr_normal)) {
                append_facts(s, name, 13, r.message);
                r.message_found = true;
            }
        } catch (const AppError&) {
        }
    }

    try {
        s.fs.set_current_dir(s.settings.model_dir);
    } catch (const AppError&) {
    }
    return r;
}

std::string run_caption(const std::string& option_file_name) {
    if (option_file_name.find('&') != std::string::npos)
        return "&Run with Current file";
    return "&Run with " + lower(option_file_name);
}

DiagLists diag_lists(const Scenario& sc) {
    DiagLists d;
    for (const auto& region : sc.selected_regions) {
        const RegionCls& r = *region;
        d.regions.push_back(r.county + r.statename);
    }
    d.states = regsel(sc.selected_regions, sc.region_level).states;
    return d;
}

}  // namespace qv
