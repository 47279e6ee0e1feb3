#include "cli/qvopt.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>

#include "cli/batch_command.h"
#include "cli/batch_slurm_command.h"
#include "cli/diff_command.h"
#include "cli/event_report.h"
#include "cli/headless.h"
#include "cli/json_text.h"
#include "cli/refdb_command.h"
#include "cli/run_command.h"
#include "cli/scenario_fields.h"
#include "cli/status_command.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"
#include "qv_version.h"
#include "scenario/options_file.h"
#include "scenario/session.h"

namespace qv::cli {

namespace {

struct SaveOptions {
    std::vector<std::string> sets;
    std::vector<std::string> changed;
    std::string as;
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

int show_command(HeadlessSession& run, const std::string& file, std::ostream& out) {
    run.open(file);
    // Written as it goes: the scenario of a large region is most of a megabyte of text.
    JsonWriter w(out);
    w.begin_object();
    w.key("messages");
    w.value(events_json(run.events(), run.outcome()));
    w.key("run_log");
    w.begin_array();
    for (const std::string& line : run.s.log.lines())
        w.value(line);
    w.end_array();
    w.key("exit");
    w.value(exit_name(run.outcome().exit));
    w.key("scenario");
    write_scenario_json(w, run.s.sc);
    w.end_object();
    w.finish();
    out << '\n';
    return run.status();
}

int check_command(HeadlessSession& run, const std::string& file, std::ostream& out) {
    run.open(file);
    write_event_lines(out, run.events(), run.outcome());
    if (run.status() != exit_status::ok)
        return run.status();
    return run.events().empty() ? exit_status::ok : exit_status::messages;
}

int save_command(HeadlessSession& run, const std::string& file, const SaveOptions& opt,
                 std::ostream& out, std::ostream& err) {
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
    std::string refusal;
    try {
        for (const auto& a : assignments)
            apply_assignment(sc, a);
    } catch (const UsageError& e) {
        err << "qvopt save: " << e.what() << '\n';
        return finish(exit_status::usage);
    }
    for (const auto& flag : opt.changed)
        set_changed_flag(sc, flag);
    mark_assigned_packets(sc, assignments);
    if (!run.step([&] { refusal = assigned_field_checks(run.s, assignments); }))
        return finish(run.status());
    if (!refusal.empty()) {
        err << "qvopt save: " << refusal << "; not saved\n";
        return finish(exit_status::messages);
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

// Leaves the session's scenario, and the copy of it that the clean point keeps, to the end of
// the process: freeing the tens of thousands of entries of a long file list one by one costs
// more than the save that read them. Every file and lock the session holds is still closed by
// its destructor; the scenario is plain data. It stays reachable, so that a leak check at exit
// finds nothing.
void keep_until_exit(Session& s) {
    struct Kept {
        Scenario sc;
        std::shared_ptr<const Session::CleanPoint> clean;
    };
    static auto* const kept = new std::vector<Kept>;
    kept->push_back(Kept{std::move(s.sc), std::move(s.clean)});
}

}  // namespace

int run_qvopt(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const OpensslHasher hasher;
    PosixModelLauncher launcher;
    return run_qvopt(static_cast<int>(copy.size()), argv.data(), out, err, {hasher, launcher});
}

int run_qvopt(int argc, char** argv, std::ostream& out, std::ostream& err,
              const Services& services) {
    CLI::App app{"Reads, checks, prints and saves options files.", "qvopt"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("qvopt ") + program_version_text,
                         "print the version and exit");
    CommonOptions common;
    app.add_option("--config", common.config,
                   "qv-gui.ini to read (default: beside qvopt, or in the per-user configuration "
                   "folder when qvopt's folder is not writable or qvopt is installed)")
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
    save->footer(save_help_footer());

    std::string db;
    bool tables = false;
    std::optional<std::string> query, to_sqlite;
    auto* refdb = app.add_subcommand("refdb", "check a reference database");
    refdb->add_option("DBFILE", db, "reference database")->required();
    refdb->add_flag("--tables", tables, "list the tables with their row counts");
    refdb->add_option("QUERY", query, "query text to run");
    refdb->add_option("--to-sqlite", to_sqlite, "write a SQLite copy to OUT");

    RunOptions run_opt;
    std::optional<int> timeout;
    auto* run_sub = app.add_subcommand(
        "run", "save each FILE and run the model on it; exit status 6 when any run failed");
    run_sub->add_option("FILE", run_opt.files, "options files")->required();
    run_sub->add_option("--timeout", timeout, "stop a model still running after SECONDS")
        ->check(CLI::PositiveNumber);

    std::string diff_a, diff_b;
    bool diff_json = false;
    auto* diff_sub = app.add_subcommand(
        "diff", "print what differs between two scenarios (options files or run records)");
    diff_sub->add_option("A", diff_a, "options file or run record")->required();
    diff_sub->add_option("B", diff_b, "options file or run record")->required();
    diff_sub->add_flag("--json", diff_json, "report as JSON");

    std::vector<std::string> status_files;
    bool status_json = false, status_why = false;
    auto* status_sub = app.add_subcommand(
        "status", "tell whether the results of each FILE's latest run are up to date");
    status_sub->add_option("FILE", status_files, "options files")->required();
    status_sub->add_flag("--json", status_json, "report as JSON");
    status_sub->add_flag("--why", status_why,
                         "list every changed file and what changed in the scenario since the run");
    std::string record;
    auto* verify_sub =
        app.add_subcommand("verify", "hash every file of a run record again and compare");
    verify_sub->add_option("RECORD", record, "run record (.run.json)")->required();

    auto* batch = app.add_subcommand("batch", "run campaigns: lists of options files");
    batch->require_subcommand(1);
    const BatchSlurmCommands batch_slurm(*batch);
    const BatchCommands batch_local(*batch);

    for (auto* sub : {show, check, save, refdb, run_sub, diff_sub, status_sub, verify_sub, batch})
        sub->fallthrough();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? exit_status::ok : exit_status::usage;
    }

    if (refdb->parsed())
        return run_refdb(db, tables, query, to_sqlite, out, err);
    if (verify_sub->parsed())
        return verify_command(record, out, services.hasher);

    if (batch_slurm.parsed())
        return batch_slurm.run(common, out, err, record_checker(services.hasher));

    const char* argv0 = argc > 0 ? argv[0] : nullptr;
    try {
        if (batch_local.parsed())
            return batch_local.run(common, argv0, out, err, services);
        if (run_sub->parsed()) {
            if (timeout)
                run_opt.timeout = std::chrono::seconds(*timeout);
            return run_command(common, argv0, run_opt, out, err, services);
        }
        if (status_sub->parsed())
            return status_command(common, argv0, status_files, status_json, out, services.hasher,
                                  status_why);
        if (diff_sub->parsed())
            return diff_command(common, argv0, diff_a, diff_b, diff_json, out, err);
        HeadlessSession run(common, argv0);
        const int status = show->parsed()    ? show_command(run, file, out)
                           : check->parsed() ? check_command(run, file, out)
                                             : save_command(run, file, save_opt, out, err);
        if (services.ends_process)
            keep_until_exit(run.s);
        return status;
    } catch (const std::exception& e) {
        // Nothing the program's logic lets through ends up here; say so rather than crash.
        err << "qvopt: unexpected failure: " << e.what() << '\n';
        if (run_sub->parsed())
            return exit_status::run_failed;
        // Never "differ" (1) for a comparison that did not take place.
        if (diff_sub->parsed())
            return exit_status::usage;
        return save->parsed() ? exit_status::save_failed : exit_status::messages;
    }
}

}  // namespace qv::cli
