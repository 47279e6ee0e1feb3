#include "cli/run_command.h"

#include <optional>

#include "cli/exit_status.h"
#include "cli/run_signals.h"
#include "runs/run_lock.h"
#include "runs/run_record.h"
#include "runs/session_run.h"
#include "scenario/model_run.h"

namespace qv::cli {

namespace {

void report_result(const runs::ResultFile& r, const FileSystem& fs, std::ostream& out) {
    out << r.role << " file " << r.path << ": ";
    const auto facts = r.exists && !r.path.empty() ? fs.facts(r.path) : std::nullopt;
    const auto size = facts ? facts->size : 0;
    if (!facts || facts->is_dir)
        out << "missing\n";
    else if (!r.written_by_this_run)
        out << "not written by this run (an older file of " << size << " bytes is there)\n";
    else
        out << size << " bytes\n";
}

enum class Ran { succeeded, failed, not_saved, running_elsewhere };

// Reads FILE, saves it and runs the model on it, its output passed on byte for byte. A refused
// save runs nothing.
Ran run_one(HeadlessSession& run, const std::string& file, const RunOptions& options,
            runs::RunControl& control, std::ostream& out, std::ostream& err,
            const Services& services) {
    out << "== " << file << std::endl;
    auto report_events = [&] { write_event_lines(out, run.events(), run.outcome()); };
    if (!run.open(file)) {
        report_events();
        err << "qvopt run: " << file << ": not run\n";
        return Ran::failed;
    }
    if (run.s.read_incomplete) {
        report_events();
        err << "qvopt run: " << file << " was not read in full; not saved and not run\n";
        return Ran::failed;
    }
    if (run.s.settings.model_dir.empty() || run.s.settings.model_exe.empty()) {
        err << "qvopt run: the model is not known: give --config, or --model-dir and "
               "--model-exe\n";
        return Ran::failed;
    }

    // Held until the run is over: a second start of the scenario, here or by another program
    // on this machine, is refused meanwhile. Where no lock file can be made the run goes on.
    std::unique_ptr<runs::RunLock> lock;
    if (const std::string record = runs::record_path_of(run.s); !record.empty()) {
        runs::RunLock::Attempt attempt = runs::RunLock::take(record);
        if (attempt.holder) {
            err << "qvopt run: " << file << ": not run: it is running in "
                << runs::describe(*attempt.holder) << '\n';
            return Ran::running_elsewhere;
        }
        lock = std::move(attempt.lock);
    }

    runs::SessionRunOptions run_options;
    // The model's output goes on byte for byte: from its log to the standard output inside the
    // system, so that a flood of output never passes through this program, or else as it was
    // read, a portion at a time.
    run_options.hooks.output_fd = services.out_fd;
    run_options.hooks.on_output = [&](std::string_view portion) {
        out.write(portion.data(), static_cast<std::streamsize>(portion.size()));
    };
    run_options.hooks.after_output = [&] { out.flush(); };
    out.flush();
    run_options.control = &control;
    run_options.time_limit = options.timeout;
    run_options.paced = false;
    runs::RunRecorder recorder(run.s.fs, services.hasher, runs::plan_record(run.s, "qvopt"));
    recorder.stop_when([&control] { return control.stop_requested(); });
    run_options.observers.push_back(&recorder);
    runs::SessionModelRun model(run.s, services.launcher, run_options);
    ModelRunOutcome result;
    const bool ended_normally = run.step([&] { result = run_model(run.s, model); });
    // What follows the model's output starts on a line of its own.
    if (model.result() && !model.result()->output_ends_line)
        out << '\n';
    report_events();
    if (!recorder.write_error().empty())
        err << "qvopt run: " << file << ": " << recorder.write_error() << '\n';
    if (!ended_normally) {
        err << "qvopt run: " << file << ": not run\n";
        return Ran::failed;
    }
    if (!result.saved) {
        err << "qvopt run: " << file << ": not saved; not run\n";
        return Ran::not_saved;
    }
    if (!result.started) {
        err << "qvopt run: " << file << ": " << result.command_line << " was not run";
        if (model.result())
            err << ": " << model.result()->facts.failure << '\n';
        else
            err << " (error " << result.error_number << ")\n";
        return Ran::failed;
    }
    const runs::RunFacts& facts = model.result()->facts;
    out << runs::end_text(facts.end()) << '\n';
    for (const auto& r : facts.results)
        report_result(r, run.fs, out);
    if (const std::string log = runs::output_log_path(facts.results); !log.empty())
        out << "output log " << log << '\n';
    if (facts.stopped == runs::StopReason::user && facts.left_running == 0)
        err << "qvopt run: " << file << ": stopped; the model and what it started were ended\n";
    else if (facts.stopped == runs::StopReason::user)
        err << "qvopt run: " << file << ": stopped; the model was ended\n";
    if (facts.left_running > 0)
        err << "qvopt run: " << file << ": " << facts.left_running
            << " process(es) the model started could not be ended\n";
    if (!facts.failure.empty())
        err << "qvopt run: " << file << ": " << facts.failure << '\n';
    return facts.succeeded() ? Ran::succeeded : Ran::failed;
}

}  // namespace

int run_command(const CommonOptions& common, const char* argv0, const RunOptions& options,
                std::ostream& out, std::ostream& err, const Services& services) {
    bool failed = false, not_saved = false, running_elsewhere = false;
    runs::RunControl control;
    StopOnSignals signals(control);
    for (const auto& file : options.files) {
        if (control.stop_requested())
            break;
        // Each file gets the session a fresh start of the program would give it.
        HeadlessSession run(common, argv0);
        const KeepCurrentDir keep(run.fs);
        const Ran ran = run_one(run, file, options, control, out, err, services);
        failed = failed || ran == Ran::failed;
        not_saved = not_saved || ran == Ran::not_saved;
        running_elsewhere = running_elsewhere || ran == Ran::running_elsewhere;
    }
    out.flush();
    if (control.signal() != 0)
        return exit_status::of_signal(control.signal());
    if (failed)
        return exit_status::run_failed;
    if (not_saved)
        return exit_status::save_failed;
    return running_elsewhere ? exit_status::already_running : exit_status::ok;
}

}  // namespace qv::cli
