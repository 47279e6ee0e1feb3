#include "cli/qvopt.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/event_report.h"
#include "cli/json_text.h"
#include "cli/refdb_command.h"
#include "cli/scenario_fields.h"
#include "platform/app_error.h"
#include "platform/console/console_ui.h"
#include "platform/fs/host_file_system.h"
#include "platform/process/posix_processes.h"
#include "platform/program_end.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/config.h"
#include "scenario/model_run.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/session.h"
#include "scenario/state_table.h"

namespace qv::cli {

namespace {

struct CommonOptions {
    std::string config;  // host path; empty: qv-gui.ini beside the executable, when present
    std::string model_dir;
    std::string model_exe;
    std::string data_dir;
};

// run: some file was not run, or its model did not end with status 0.
constexpr int run_failed = 6;

struct SaveOptions {
    std::vector<std::string> sets;
    std::vector<std::string> changed;
    std::string as;
};

std::string executable_dir(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec && argv0)
        self = std::filesystem::absolute(argv0, ec);
    return self.parent_path().string();
}

// One run of the program's logic over one options file, headless.
class Run {
  public:
    Run(const CommonOptions& common, const char* argv0) : common_(common), argv0_(argv0) {}

    // Sets up the session as the program's start does, then reads FILE. False when the program
    // would have ended or would ask for another file (see outcome()).
    bool open(const std::string& file) {
        s.settings.msgbox_title = "US KQT QUARVEL MODEL";
        build_state_table(s.state_table);
        s.log.open_in_memory();
        s.settings.app_dir = fs.program_path(executable_dir(argv0_));
        // The file name comes from the command line before anything can change the current
        // directory.
        const std::string path = fs.program_path(file);
        if (!step([&] { configure(); }))
            return false;
        s.sc.option_file_name = split_file_name(path);
        s.sc.option_file_dir = split_dir(path);
        return step([&] { read_options_file(s); });
    }

    // Runs a piece of the program's logic, noting how it ends.
    template <typename F>
    bool step(F&& f) {
        try {
            f();
            return true;
        } catch (const ProgramEnd& end) {
            outcome_.exit = Outcome::Exit::Ended;
            outcome_.fini = end.fini;
        } catch (const ChooserStop&) {
            outcome_.exit = Outcome::Exit::Chooser;
        }
        return false;
    }

    int status() const {
        switch (outcome_.exit) {
            case Outcome::Exit::Ended:
                return exit_status::ended;
            case Outcome::Exit::Chooser:
                return exit_status::chooser;
            case Outcome::Exit::Normal:
                break;
        }
        return exit_status::ok;
    }
    const Outcome& outcome() const { return outcome_; }
    const std::vector<UiEvent>& events() const { return ui.events(); }

    HostFileSystem fs;
    ConsoleUi ui;
    std::unique_ptr<ReferenceEngine> reference = make_reference_engine();
    Session s{ui, fs, *reference};

  private:
    // The configuration's path checks may end the program, as at the program's start; the
    // command-line directories then replace the configured ones.
    void configure() {
        std::string config;
        if (!common_.config.empty()) {
            config = fs.program_path(common_.config);
        } else {
            std::string beside = s.settings.app_dir + "\\qv-gui.ini";
            auto facts = fs.facts(beside);
            if (facts && !facts->is_dir)
                config = beside;
        }
        if (!config.empty()) {
            s.settings.config_path = config;
            read_config_file(s);
        }
        if (!common_.model_dir.empty())
            s.settings.model_dir = fs.program_path(common_.model_dir);
        if (!common_.model_exe.empty())
            s.settings.model_exe = common_.model_exe;
        if (!common_.data_dir.empty())
            s.settings.data_dir = fs.program_path(common_.data_dir);
    }

    const CommonOptions& common_;
    const char* argv0_;
    Outcome outcome_;
};

const char* exit_name(Outcome::Exit e) {
    switch (e) {
        case Outcome::Exit::Ended:
            return "ended";
        case Outcome::Exit::Chooser:
            return "chooser";
        case Outcome::Exit::Normal:
            break;
    }
    return "normal";
}

int show_command(Run& run, const std::string& file, std::ostream& out) {
    run.open(file);
    nlohmann::ordered_json doc;
    doc["messages"] = events_json(run.events(), run.outcome());
    doc["run_log"] = run.s.log.lines();
    doc["exit"] = exit_name(run.outcome().exit);
    doc["scenario"] = scenario_json(run.s.sc);
    write_json(out, doc);
    return run.status();
}

int check_command(Run& run, const std::string& file, std::ostream& out) {
    run.open(file);
    write_event_lines(out, run.events(), run.outcome());
    if (run.status() != exit_status::ok)
        return run.status();
    return run.events().empty() ? exit_status::ok : exit_status::messages;
}

int save_command(Run& run, const std::string& file, const SaveOptions& opt, std::ostream& out,
                 std::ostream& err) {
    std::vector<Assignment> assignments;
    try {
        for (const auto& arg : opt.sets)
            assignments.push_back(parse_assignment(arg));
        Scenario scratch;
        for (const auto& flag : opt.changed)
            set_changed_flag(scratch, flag);
    } catch (const UsageError& e) {
        err << "qvopt save: " << e.what() << '\n';
        return exit_status::usage;
    }

    auto finish = [&](int status) {
        write_event_lines(out, run.events(), run.outcome());
        return status;
    };

    if (!run.open(file))
        return finish(run.status());
    if (run.s.read_incomplete) {
        err << "qvopt save: " << file << " was not read in full; not saved\n";
        return finish(exit_status::save_failed);
    }

    Scenario& sc = run.s.sc;
    try {
        for (const auto& a : assignments)
            apply_assignment(sc, a);
    } catch (const UsageError& e) {
        err << "qvopt save: " << e.what() << '\n';
        return finish(exit_status::usage);
    }
    for (const auto& flag : opt.changed)
        set_changed_flag(sc, flag);
    for (const auto& a : assignments) {
        const char* flag = a.field->packet_flag;
        if (flag && *flag && !changed_flag(sc, flag))
            err << "qvopt save: warning: --set " << a.argument
                << " is not written without --changed " << flag << '\n';
    }

    bool saved = false;
    bool ran = run.step([&] {
        if (opt.as.empty()) {
            saved = update_default_option_file(run.s);
            return;
        }
        const std::string chosen = run.fs.program_path(opt.as);
        switch (check_83_name(run.s, chosen)) {
            case Name83::TooLong:
                return;
            case Name83::NoPeriod:
                err << "qvopt save: --as " << opt.as << ": the file name has no period\n";
                return;
            case Name83::Accepted:
                saved = save_options_as(run.s, chosen);
                return;
        }
    });
    if (!ran)
        return finish(run.status());
    if (!saved) {
        err << "qvopt save: not saved\n";
        return finish(exit_status::save_failed);
    }
    finish(exit_status::ok);
    out << "saved " << run.fs.host_path(run.s.option_file_path()) << '\n';
    return exit_status::ok;
}

// A result file of the run: a relative name was taken against model_dir, where the model ran.
void report_result(Run& run, const char* what, const std::string& dir, const std::string& name,
                   std::ostream& out) {
    std::string path = dir.empty() ? name : dir + "\\" + name;
    const bool absolute =
        !path.empty() && (path[0] == '\\' || path[0] == '/' || (path.size() > 1 && path[1] == ':'));
    if (!absolute)
        path = run.s.settings.model_dir + "\\" + path;
    const std::string host = run.fs.host_path(path);
    out << what << ' ' << host << ": ";
    auto facts = name.empty() ? std::nullopt : run.fs.facts(path);
    if (facts && !facts->is_dir)
        out << facts->size << " bytes\n";
    else
        out << "missing\n";
}

// Reads FILE, saves it and runs the model on it, its output passed on line by line. False when
// the model did not run to an exit status of 0.
bool run_one(Run& run, const std::string& file, std::ostream& out, std::ostream& err) {
    out << "== " << file << std::endl;
    auto report_events = [&] { write_event_lines(out, run.events(), run.outcome()); };
    if (!run.open(file)) {
        report_events();
        err << "qvopt run: " << file << ": not run\n";
        return false;
    }
    if (run.s.read_incomplete) {
        report_events();
        err << "qvopt run: " << file << " was not read in full; not saved and not run\n";
        return false;
    }
    if (run.s.settings.model_dir.empty() || run.s.settings.model_exe.empty()) {
        err << "qvopt run: the model is not known: give --config, or --model-dir and "
               "--model-exe\n";
        return false;
    }

    PosixProcesses processes;
    processes.on_output = [&out](const std::string& line) { out << line << std::endl; };
    ModelRunOutcome result;
    const bool ended_normally = run.step([&] { result = run_model(run.s, processes); });
    report_events();
    if (!ended_normally) {
        err << "qvopt run: " << file << ": not run\n";
        return false;
    }
    if (!result.started) {
        err << "qvopt run: " << file << ": " << result.command_line << " was not run (error "
            << result.error_number << ")\n";
        return false;
    }
    out << "exit status " << result.exit_code << '\n';
    const Scenario& sc = run.s.sc;
    report_result(run, "message file", sc.message_dir, sc.message_file_name, out);
    report_result(run, "output file", sc.output_dir, sc.output_file_name, out);
    return result.exit_code == 0;
}

int run_command(const CommonOptions& common, const char* argv0,
                const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
    bool failed = false;
    // A run leaves the current directory elsewhere; relative names on the command line stay
    // relative to where qvopt was started.
    const std::filesystem::path start_dir = std::filesystem::current_path();
    for (const auto& file : files) {
        std::error_code ec;
        std::filesystem::current_path(start_dir, ec);
        // Each file gets the session a fresh start of the program would give it.
        Run run(common, argv0);
        if (!run_one(run, file, out, err))
            failed = true;
    }
    return failed ? run_failed : exit_status::ok;
}

}  // namespace

int run_qvopt(int argc, char** argv) {
    return run_qvopt(argc, argv, std::cout, std::cerr);
}

int run_qvopt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return run_qvopt(static_cast<int>(copy.size()), argv.data(), out, err);
}

int run_qvopt(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Reads, checks, prints and saves options files.", "qvopt"};
    app.require_subcommand(1);
    CommonOptions common;
    app.add_option("--config", common.config, "qv-gui.ini to read (default: beside qvopt)")
        ->check(CLI::ExistingFile);
    app.add_option("--model-dir", common.model_dir,
                   "model directory (replaces the configured one)");
    app.add_option("--model-exe", common.model_exe,
                   "model executable in the model directory (replaces the configured one)");
    app.add_option("--data-dir", common.data_dir, "data directory (replaces the configured one)");

    std::string file;
    auto* show = app.add_subcommand("show", "print the scenario of FILE as JSON");
    show->add_option("FILE", file, "options file")->required();
    auto* check = app.add_subcommand("check", "print the messages that reading FILE shows");
    check->add_option("FILE", file, "options file")->required();

    SaveOptions save_opt;
    auto* save = app.add_subcommand("save", "read FILE, change it and save it");
    save->add_option("FILE", file, "options file")->required();
    save->add_option("--set", save_opt.sets, "FIELD=VALUE or FIELD[N]=VALUE")
        ->allow_extra_args(false);
    save->add_option("--changed", save_opt.changed, "changed flag to set, e.g. options_changed")
        ->allow_extra_args(false);
    save->add_option("--as", save_opt.as, "save as NEWFILE instead of over FILE");

    std::string db;
    bool tables = false;
    std::optional<std::string> query, to_sqlite;
    auto* refdb = app.add_subcommand("refdb", "check a reference database");
    refdb->add_option("DBFILE", db, "reference database")->required();
    refdb->add_flag("--tables", tables, "list the tables with their row counts");
    refdb->add_option("QUERY", query, "query text to run");
    refdb->add_option("--to-sqlite", to_sqlite, "write a SQLite copy to OUT");

    std::vector<std::string> run_files;
    auto* run_sub = app.add_subcommand(
        "run", "save each FILE and run the model on it; exit status 6 when any run failed");
    run_sub->add_option("FILE", run_files, "options files")->required();

    for (auto* sub : {show, check, save, refdb, run_sub})
        sub->fallthrough();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? exit_status::ok : exit_status::usage;
    }

    if (refdb->parsed())
        return run_refdb(db, tables, query, to_sqlite, out, err);

    const char* argv0 = argc > 0 ? argv[0] : nullptr;
    try {
        if (run_sub->parsed())
            return run_command(common, argv0, run_files, out, err);
        Run run(common, argv0);
        if (show->parsed())
            return show_command(run, file, out);
        if (check->parsed())
            return check_command(run, file, out);
        return save_command(run, file, save_opt, out, err);
    } catch (const std::exception& e) {
        // Nothing the program's logic lets through ends up here; say so rather than crash.
        err << "qvopt: unexpected failure: " << e.what() << '\n';
        if (run_sub->parsed())
            return run_failed;
        return save->parsed() ? exit_status::save_failed : exit_status::messages;
    }
}

}  // namespace qv::cli
