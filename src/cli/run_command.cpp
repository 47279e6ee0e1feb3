#include "cli/run_command.h"

#include <filesystem>
#include <optional>

#include "cli/qvopt.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_processes.h"
#include "runs/recorded_run.h"
#include "scenario/model_run.h"

namespace qv::cli {

namespace {

// A result file of the run: a relative name was taken against model_dir, where the model ran.
void report_result(HeadlessSession& run, const char* what, const std::string& dir, const std::string& name,
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

// The processes run_model starts, telling the run record when the model has started (after the
// scenario was saved).
class NoticedStart final : public Processes {
  public:
    NoticedStart(Processes& inner, runs::RecordedRun& record) : inner_(inner), record_(record) {}

    std::unique_ptr<ProcessHandle> start(const std::string& program,
                                         const std::vector<std::string>& args,
                                         const std::string& working_dir,
                                         WindowStyle style) override {
        auto handle = inner_.start(program, args, working_dir, style);
        std::string command = program;
        for (const auto& a : args)
            command += ' ' + a;
        record_.started(command, working_dir);
        return handle;
    }
    void start_detached(const std::string& program, const std::vector<std::string>& args,
                        const std::string& working_dir) override {
        inner_.start_detached(program, args, working_dir);
    }

  private:
    Processes& inner_;
    runs::RecordedRun& record_;
};

// Reads FILE, saves it and runs the model on it, its output passed on line by line. False when
// the model did not run to an exit status of 0.
bool run_one(HeadlessSession& run, const std::string& file, std::ostream& out, std::ostream& err) {
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

    OpensslHasher hasher;
    runs::RecordedRun record(run.s, hasher, "qvopt");
    PosixProcesses processes;
    processes.on_output = [&out, &record](const std::string& line) {
        out << line << std::endl;
        record.output(line);
    };
    NoticedStart noticed(processes, record);
    ModelRunOutcome result;
    const bool ended_normally = run.step([&] { result = run_model(run.s, noticed); });
    report_events();
    if (!ended_normally) {
        err << "qvopt run: " << file << ": not run\n";
        return false;
    }
    const std::string record_error = record.ended(
        result.started ? std::optional<int>(result.exit_code) : std::nullopt, "",
        result.started
            ? ""
            : "the model could not be started (error " + std::to_string(result.error_number) + ")");
    if (!record_error.empty())
        err << "qvopt run: " << file << ": " << record_error << '\n';
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

}  // namespace

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
        HeadlessSession run(common, argv0);
        if (!run_one(run, file, out, err))
            failed = true;
    }
    return failed ? exit_status::run_failed : exit_status::ok;
}


}  // namespace qv::cli
