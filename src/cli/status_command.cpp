#include "cli/status_command.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "cli/status_why.h"
#include "platform/app_error.h"
#include "runs/run_record.h"
#include "scenario/line_io.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv::cli {

namespace {

using runs::RecordState;
using runs::RecordStatus;

// Reads the "/RUNFILES/" packet of the session's options file, which names the output data file
// and so the record; the rest of the file (and its checks against the reference database) has
// no bearing on where the record is. False when the file cannot be read or the packet ends
// the program.
bool read_run_files(HeadlessSession& run) {
    try {
        return run.step([&] {
            LineReader in(run.fs.read_file(run.s.option_file_path()));
            while (!in.eof()) {
                if (upper(ltrim(in.read())).rfind("/RUNFILES/", 0) == 0) {
                    read_runfiles_packet(run.s, in);
                    return;
                }
            }
        });
    } catch (const AppError&) {
        return false;
    }
}

const char* state_name(RecordState state) {
    switch (state) {
        case RecordState::up_to_date:
            return "up to date";
        case RecordState::out_of_date:
            return "out of date";
        case RecordState::failed:
            return "failed last run";
        case RecordState::never_run:
            return "never run";
        case RecordState::unreadable:
            return "record unreadable";
    }
    return "";
}

nlohmann::ordered_json changes_json(const std::vector<runs::ChangedFile>& changed) {
    auto list = nlohmann::ordered_json::array();
    for (const auto& c : changed)
        list.push_back({{"role", c.role}, {"path", c.path}, {"change", c.change}});
    return list;
}

}  // namespace

int status_command(const CommonOptions& common, const char* argv0,
                   const std::vector<std::string>& files, bool json, std::ostream& out,
                   const Hasher& hasher, bool why) {
    runs::SeenFiles seen;
    bool all_up_to_date = true;
    auto report = nlohmann::ordered_json::array();
    for (const auto& file : files) {
        RecordStatus status;
        std::string record;
        {
            // Reading an options file may move the current directory; names on the command
            // line stay relative to where qvopt was started.
            HeadlessSession run(common, argv0);
            const KeepCurrentDir keep(run.fs);
            if (!run.prepare(file) || !read_run_files(run)) {
                status.state = RecordState::unreadable;
                status.why = "the options file could not be read";
            } else {
                record = runs::record_path_of(run.s);
                if (!record.empty())
                    status = runs::check_record(record, run.fs, hasher, &seen);
            }
        }
        if (status.state != RecordState::up_to_date)
            all_up_to_date = false;
        std::optional<StatusWhy> reasons;
        if (why)
            reasons = status_why(common, argv0, file, status);
        if (json) {
            nlohmann::ordered_json entry{
                {"file", file}, {"record", record}, {"status", state_name(status.state)}};
            if (!status.why.empty())
                entry["why"] = status.why;
            entry["changed"] = changes_json(status.changed);
            if (reasons)
                add_status_why(entry, *reasons);
            report.push_back(std::move(entry));
        } else {
            out << file << ": " << runs::describe(status) << '\n';
            if (reasons)
                write_status_why(out, *reasons);
        }
    }
    if (json)
        write_json(out, report);
    return all_up_to_date ? 0 : 1;
}

int verify_command(const std::string& record, std::ostream& out, const Hasher& hasher) {
    HostFileSystem fs;
    const std::string path = std::filesystem::absolute(record).string();
    RecordStatus status = runs::verify_record(path, fs, hasher);
    switch (status.state) {
        case RecordState::never_run:
            out << record << ": no such record\n";
            return 1;
        case RecordState::unreadable:
            out << record << ": record unreadable: " << status.why << '\n';
            return 1;
        default:
            break;
    }
    if (!status.changed.empty()) {
        out << record << ": does not hold: " << runs::list_changes(status.changed, 3) << '\n';
        for (const auto& c : status.changed)
            out << "  " << c.change << ": " << c.role << ' ' << c.path << '\n';
        return 1;
    }
    out << record << ": holds";
    if (status.state == RecordState::failed)
        out << " (a record of a failed run: " << status.why << ")";
    out << '\n';
    return 0;
}

}  // namespace qv::cli
