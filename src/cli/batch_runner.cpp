#include "cli/batch_runner.h"

#include <sstream>

#include "platform/fs/path_form.h"
#include "runs/model_process.h"
#include "runs/run_lock.h"
#include "runs/run_record.h"
#include "runs/session_run.h"
#include "scenario/options_file.h"

namespace qv::cli {

namespace {

// A session of a worker thread: its file system has a current directory of its own, so that
// sessions on several threads read and save at once, each where it is, and the process's
// current directory (against which names given on the command line are taken) never moves.
struct WorkerSession : HeadlessSession {
    WorkerSession(const CommonOptions& common, const char* argv0) : HeadlessSession(common, argv0) {
        fs.use_private_current_dir();
    }
};

struct Prepared {
    runs::RunRequest request;
    std::optional<runs::RecordPlan> record;
    std::unique_ptr<runs::RunLock> lock;  // held while the scenario runs
    std::string failure;
    std::string note;  // a refused save: the model runs on the file as it is on disk
};

// What the messages of a refused save said, on one line.
std::string refused_save_note(const HeadlessSession& run, std::size_t first_event) {
    std::string said;
    for (std::size_t i = first_event; i < run.events().size(); ++i) {
        std::string text = run.events()[i].text;
        for (char& c : text)
            if (c == '\n')
                c = ' ';
        if (text == "file error 70")
            text += " (read-only)";
        said += (said.empty() ? "" : "; ") + text;
    }
    return "not saved: " + said + "; the model ran on the file as it is on disk";
}

// Saves as `qvopt run` does; false when the save ended the program. A save that was refused
// leaves its note in `p`: the model then runs on the file as it is on disk.
bool save_before_run(HeadlessSession& run, Prepared& p) {
    const std::size_t before = run.events().size();
    bool saved = false;
    if (!run.step([&] { saved = update_default_option_file(run.s); }))
        return false;
    if (!saved)
        p.note = refused_save_note(run, before);
    return true;
}

std::string events_text(const HeadlessSession& run) {
    std::ostringstream out;
    write_event_lines(out, run.events(), run.outcome());
    std::string text = out.str();
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// The scenario's running lock, before it is saved: false, with the failure, when it runs
// already. Where no lock file can be made the run goes on without.
bool take_lock(const HeadlessSession& run, Prepared& p) {
    const std::string record = runs::record_path_of(run.s);
    if (record.empty())
        return true;
    runs::RunLock::Attempt attempt = runs::RunLock::take(record);
    if (attempt.holder) {
        p.failure = "not run: it is running in " + runs::describe(*attempt.holder);
        return false;
    }
    p.lock = std::move(attempt.lock);
    return true;
}

// Reads and saves the scenario as `qvopt run` does before it starts the model, and says how
// the model is to be run: with the model directory as its current directory and the options
// file as its argument, its whole output going to `<output data file>.log`.
Prepared prepare(const LocalRunSetup& setup, const std::string& file) {
    Prepared p;
    WorkerSession run(setup.common, setup.argv0);
    if (!run.open(file)) {
        p.failure = "not read: " + events_text(run);
    } else if (run.s.read_incomplete) {
        p.failure = "not read in full: " + events_text(run);
    } else if (run.s.settings.model_dir.empty() || run.s.settings.model_exe.empty()) {
        p.failure = "the model is not known: give --config, or --model-dir and --model-exe";
    } else if (!take_lock(run, p)) {
    } else if (!save_before_run(run, p)) {
        p.failure = "not saved: " + events_text(run);
    } else {
        const ShellSettings& cfg = run.s.settings;
        runs::RunRequest& r = p.request;
        r.model_path = run.fs.host_path(join_path(cfg.model_dir, cfg.model_exe));
        r.options_file = run.fs.host_path(run.s.option_file_path());
        r.args = {r.options_file};
        r.working_dir = run.fs.host_path(cfg.model_dir);
        r.command_line = r.model_path + " " + r.options_file;
        r.results = runs::scenario_results(run.s);
        r.locate = [](const std::string& path) { return HostFileSystem().host_path(path); };
        r.log_path = runs::output_log_path(r.results);
        r.time_limit = setup.time_limit;
        if (setup.hasher) {
            p.record = runs::plan_record(run.s, "qvopt");
            p.record->note = p.note;
        }
    }
    return p;
}

}  // namespace

runs::RunFacts run_scenario(const LocalRunSetup& setup, const runs::BatchJob& job,
                            runs::RunControl& control) {
    Prepared p = prepare(setup, job.entry.path);
    if (p.failure.empty() && control.stop_requested())
        p.failure = "stopped before the model was started";
    if (!p.failure.empty()) {
        runs::RunFacts facts;
        facts.options_file = job.entry.path;
        facts.started = facts.ended = std::chrono::system_clock::now();
        facts.failure = p.failure;
        if (control.stop_requested())
            facts.stopped = runs::StopReason::user;
        for (runs::RunObserver* o : setup.observers)
            o->run_ended(facts);
        return facts;
    }
    std::vector<runs::RunObserver*> observers = setup.observers;
    HostFileSystem fs;
    std::optional<runs::RunRecorder> recorder;
    if (p.record) {
        recorder.emplace(fs, *setup.hasher, std::move(*p.record));
        recorder->stop_when([&control] { return control.stop_requested(); });
        observers.push_back(&*recorder);
    }
    runs::RunFacts facts =
        runs::run_model_process(*setup.launcher, p.request, {}, observers, &control).facts;
    facts.note = p.note;
    return facts;
}

bool record_up_to_date(const Hasher& hasher, const runs::BatchJob& job) {
    if (job.outputs.output_data.empty())
        return false;
    HostFileSystem fs;
    const std::string record = runs::record_path_for(fs, fs.program_path(job.outputs.output_data));
    // A run under way elsewhere is about to replace what the record describes.
    if (runs::run_lock_holder(record))
        return false;
    return runs::check_record(record, fs, hasher).state == runs::RecordState::up_to_date;
}

runs::ScenarioOutputs read_scenario_outputs(const CommonOptions& common, const char* argv0,
                                            const runs::CampaignEntry& entry) {
    WorkerSession run(common, argv0);
    const bool read = run.open(entry.path) && !run.s.read_incomplete;
    if (!read)
        throw runs::CampaignError(entry.path + " (line " + std::to_string(entry.line) +
                                  ") cannot be read: " + events_text(run));
    return runs::scenario_outputs(run.s);
}

}  // namespace qv::cli
