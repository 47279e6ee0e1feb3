#include "cli/diff_command.h"

#include <filesystem>
#include <memory>

#include "cli/json_text.h"
#include "cli/qvopt.h"
#include "platform/app_error.h"
#include "runs/recorded_scenario.h"
#include "scenario/scenario_compare.h"
#include "scenario/text.h"

namespace qv::cli {

namespace {

// One side of the comparison, read in a session of its own.
struct Side {
    std::unique_ptr<HeadlessSession> run;
    std::unique_ptr<runs::RecordedScenario> recorded;
    Session& session() { return recorded ? recorded->session() : run->s; }
};

bool looks_like_json(const std::string& bytes) {
    const std::size_t at = bytes.find_first_not_of(" \t\r\n");
    return at != std::string::npos && bytes[at] == '{';
}

// Reads one argument; on failure says why on `err` and gives the exit status.
int read_side(const CommonOptions& common, const char* argv0, const std::string& arg, Side& side,
              std::ostream& err) {
    side.run = std::make_unique<HeadlessSession>(common, argv0);
    HeadlessSession& run = *side.run;
    std::string bytes;
    try {
        bytes = run.fs.read_file(run.fs.program_path(arg));
    } catch (const AppError& e) {
        err << "qvopt diff: " << arg << ": "
            << (e.number() == qv::err::file_not_found ? "no such file" : "cannot be read") << '\n';
        return exit_status::usage;
    }

    std::optional<runs::RunRecord> record;
    if (looks_like_json(bytes)) {
        try {
            record = runs::parse_record(bytes);
        } catch (const runs::RecordError& e) {
            err << "qvopt diff: " << arg << ": not a run record: " << e.what() << '\n';
            return exit_status::usage;
        }
    }
    bool read = false;
    if (record) {
        std::string why_not;
        auto text = runs::recorded_options_text(*record, why_not);
        if (!text) {
            err << "qvopt diff: " << arg << ": the scenario of the run is " << why_not << '\n';
            return exit_status::usage;
        }
        read = run.set_up();
        if (read) {
            side.recorded =
                std::make_unique<runs::RecordedScenario>(run.s, run.ui, *record, std::move(*text));
            read = run.step([&] { side.recorded->read(); });
        }
    } else {
        read = run.open(arg);
    }
    if (!run.events().empty() || !read) {
        err << arg << ":\n";
        write_event_lines(err, run.events(), run.outcome());
    }
    if (!read)
        return run.status();
    if (side.session().read_incomplete) {
        err << "qvopt diff: " << arg << ": could not be read in full\n";
        return exit_status::usage;
    }
    return exit_status::ok;
}

}  // namespace

nlohmann::ordered_json differences_json(const std::vector<Difference>& diffs) {
    auto value = [](const std::optional<std::string>& v) {
        return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
    };
    auto list = nlohmann::ordered_json::array();
    for (const auto& d : diffs)
        list.push_back(
            {{"packet", d.packet}, {"field", d.field}, {"a", value(d.a)}, {"b", value(d.b)}});
    return list;
}

int diff_command(const CommonOptions& common, const char* argv0, const std::string& a,
                 const std::string& b, bool json, std::ostream& out, std::ostream& err) {
    // A read may move the current directory; both names are taken from where qvopt started.
    const std::filesystem::path start_dir = std::filesystem::current_path();
    Side sides[2];
    const std::string* args[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        std::error_code ec;
        std::filesystem::current_path(start_dir, ec);
        if (int status = read_side(common, argv0, *args[i], sides[i], err);
            status != exit_status::ok)
            return status;
    }
    const auto diffs =
        compare_scenarios(compared_side(sides[0].session()), compared_side(sides[1].session()));
    if (json) {
        write_json(out, differences_json(diffs));
    } else {
        for (const auto& line : difference_lines(diffs))
            out << line << '\n';
    }
    return diffs.empty() ? exit_status::ok : exit_status::messages;
}

}  // namespace qv::cli
