#include "cli/batch_slurm_command.h"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "cli/campaign_outputs.h"
#include "cli/exit_status.h"
#include "cli/json_text.h"
#include "platform/app_error.h"
#include "platform/fs/host_file_system.h"

extern char** environ;

namespace qv::cli {

namespace fs = std::filesystem;

struct BatchSlurmCommands::Options {
    CLI::App* slurm = nullptr;
    CLI::App* status = nullptr;
    std::string list;
    runs::SlurmResources resources;
    bool force = false;
    bool submit = false;
    bool print = false;
    bool json = false;
    bool lines = false;
};

namespace {

// What a command printed and how it ended.
struct Captured {
    bool started = false;    // false: not found on PATH or not executable
    int status = -1;         // exit status; -1 when a signal ended it
    bool timed_out = false;  // it did not end within its time limit and was ended
    std::string out, err;
};

// How long a Slurm command gets to answer: its default, or the seconds in the environment
// variable VARIABLE (for tests, and for a cluster known to be slow).
std::chrono::seconds slurm_time_limit(const char* variable, std::chrono::seconds fallback) {
    const char* text = std::getenv(variable);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    return *end == '\0' && seconds > 0 && seconds <= 86400 ? std::chrono::seconds(seconds)
                                                           : fallback;
}

// "sbatch did not answer in 30 s".
std::string no_answer(const std::string& command, std::chrono::seconds limit) {
    return command + " did not answer in " + std::to_string(limit.count()) + " s";
}

// Runs ARGS[0] (found on PATH) without a shell and collects both its outputs. Past LIMIT it is
// ended, with all it started (it runs in a process group of its own).
Captured capture(const std::vector<std::string>& args, std::chrono::seconds limit) {
    Captured result;
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0)
        return result;
    if (pipe(err_pipe) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
        posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (spawned == 0) {
        pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
        std::string* sinks[2] = {&result.out, &result.err};
        int open_fds = 2;
        while (open_fds > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                result.timed_out = true;
                kill(-pid, SIGKILL);
                break;
            }
            if (poll(fds, 2, static_cast<int>(left.count())) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buf[4096];
                const ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n > 0) {
                    sinks[i]->append(buf, static_cast<std::size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    fds[i].fd = -1;
                    --open_fds;
                }
            }
        }
        // It may have closed its outputs and gone on: the wait has the same limit.
        int wstatus = 0;
        for (;;) {
            const pid_t ended = waitpid(pid, &wstatus, result.timed_out ? 0 : WNOHANG);
            if (ended == pid || (ended < 0 && errno != EINTR))
                break;
            if (ended == 0 && std::chrono::steady_clock::now() >= deadline) {
                result.timed_out = true;
                kill(-pid, SIGKILL);
            } else if (ended == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        result.started = true;
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    }
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
}

std::string absolute(const std::string& path) {
    return fs::absolute(path).lexically_normal().string();
}

// The absolute path of the running qvopt, which every task of a job runs.
std::string self_path() {
    std::error_code ec;
    auto self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string{} : self.string();
}

// The qvopt command line a job's tasks run, with this command's configuration and model
// options as absolute paths, so the tasks find the same files wherever Slurm starts them.
std::vector<std::string> task_command(const CommonOptions& common) {
    std::vector<std::string> words{self_path()};
    for (const auto& [option, value] : {std::pair{"--config", &common.config},
                                        {"--model-dir", &common.model_dir},
                                        {"--data-dir", &common.data_dir}}) {
        if (!value->empty())
            words.insert(words.end(), {option, absolute(*value)});
    }
    if (!common.model_exe.empty()) {
        // A bare name is looked up in the model directory; a path is made absolute.
        const bool bare = common.model_exe.find('/') == std::string::npos;
        words.insert(words.end(),
                     {"--model-exe", bare ? common.model_exe : absolute(common.model_exe)});
    }
    return words;
}

void write_atomically(const std::string& path, const std::string& text) {
    HostFileSystem host;
    try {
        host.write_file_atomic(host.program_path(path), text);
    } catch (const AppError& e) {
        throw runs::SlurmJobError(path + ": cannot be written: " + e.description());
    }
}

struct Prepared {
    runs::Campaign campaign;
    std::vector<runs::ScenarioOutputs> outputs;
};

Prepared prepare(const std::string& list, const CommonOptions& common) {
    Prepared p;
    p.campaign = runs::read_campaign(absolute(list));
    p.outputs = runs::check_distinct_outputs(p.campaign, run_files_reader(common));
    return p;
}

int slurm_command(const std::string& list, const runs::SlurmResources& resources, bool force,
                  bool submit, bool print, const CommonOptions& common, std::ostream& out,
                  std::ostream& err, const runs::RecordCheck& check) {
    runs::check_resources(resources);
    const Prepared p = prepare(list, common);

    runs::SlurmJobSpec job;
    job.list_path = p.campaign.list_path;
    job.script_path = job.list_path + ".sbatch";
    const std::string log_dir = job.list_path + ".slurm-logs";
    // "%" starts a Slurm file-name pattern: one in the directory's name is written "%%".
    std::string escaped;
    for (char c : log_dir)
        escaped += c == '%' ? std::string("%%") : std::string(1, c);
    job.log_pattern = escaped + "/%A_%a.log";
    job.qvopt = task_command(common);
    job.resources = resources;
    std::size_t up_to_date = 0;
    for (std::size_t i = 0; i < p.campaign.entries.size(); ++i) {
        const auto& entry = p.campaign.entries[i];
        if (!force && check(entry, p.outputs[i]).state == runs::ScenarioState::done) {
            ++up_to_date;
            continue;
        }
        job.tasks.push_back({entry.line, entry.path});
    }
    std::ostream& report = submit || print ? err : out;
    if (job.tasks.empty()) {
        if (p.campaign.entries.empty())
            report << job.list_path << " lists no options file; no job script written\n";
        else
            report << "every scenario of " << job.list_path
                   << " is up to date; no job script written\n";
        return exit_status::ok;
    }
    const std::string script = runs::sbatch_script(job);
    if (print) {
        // A look at the script before it is submitted leaves nothing behind.
        out << script;
        report << "would write " << job.script_path << ": " << job.tasks.size() << " task(s)";
        if (up_to_date > 0)
            report << ", " << up_to_date << " up-to-date scenario(s) left out";
        report << '\n';
        return exit_status::ok;
    }
    std::error_code ec;
    fs::create_directories(log_dir, ec);
    if (ec)
        throw runs::SlurmJobError(log_dir + ": cannot be created: " + ec.message());
    write_atomically(job.script_path, script);
    report << "wrote " << job.script_path << ": " << job.tasks.size() << " task(s)";
    if (up_to_date > 0)
        report << ", " << up_to_date << " up-to-date scenario(s) left out";
    report << '\n';
    if (!submit)
        return exit_status::ok;

    const auto limit = slurm_time_limit("QV_SBATCH_TIMEOUT", std::chrono::seconds(30));
    const Captured sbatch = capture({"sbatch", "--parsable", job.script_path}, limit);
    if (sbatch.timed_out)
        throw runs::SlurmJobError(no_answer("sbatch", limit) + "; squeue --me shows whether " +
                                  job.script_path + " was submitted");
    if (!sbatch.started)
        throw runs::SlurmJobError("sbatch is not on PATH; submit " + job.script_path +
                                  " on a machine of the cluster");
    auto id = runs::parsable_job_id(sbatch.out);
    if (sbatch.status != 0 || !id)
        throw runs::SlurmJobError("sbatch refused " + job.script_path + ": " +
                                  (sbatch.err.empty() ? sbatch.out : sbatch.err));
    out << *id << std::endl;
    return exit_status::ok;
}

// A scenario's facts as JSON: its state as its record and Slurm show it, and for the Batch
// window the size of its output data file now and the time and duration of its last run.
nlohmann::ordered_json scenario_json(const runs::ScenarioStatus& s, const FileSystem& host) {
    nlohmann::ordered_json j{{"line", s.entry.line},
                             {"written", s.entry.written},
                             {"options_file", s.entry.path},
                             {"output_data", s.output_data},
                             {"state", std::string(runs::state_name(s.record.state))},
                             {"detail", s.record.detail},
                             {"slurm_task", s.slurm_task},
                             {"slurm_state", s.slurm_state}};
    if (s.record.stopped)
        j["stopped"] = true;
    // An output that a failed or stopped run left from an earlier one is not that run's size.
    std::optional<FileFacts> output;
    if (!s.output_data.empty() && !s.record.output_older)
        output = s.record.output_facts ? *s.record.output_facts : host.facts(s.output_data);
    j["output_size"] =
        output && !output->is_dir ? static_cast<std::int64_t>(output->size) : std::int64_t{-1};
    j["ended_ms"] = s.record.ended_ms ? nlohmann::ordered_json(*s.record.ended_ms) : nullptr;
    j["duration_ms"] =
        s.record.duration_ms ? nlohmann::ordered_json(*s.record.duration_ms) : nullptr;
    return j;
}

int status_command(const std::string& list, bool json, bool lines, const CommonOptions& common,
                   std::ostream& out, std::ostream& err, const runs::RecordCheck& check) {
    const Prepared p = prepare(list, common);
    const HostFileSystem host;
    const std::string script_path = p.campaign.list_path + ".sbatch";
    std::vector<runs::QueuedTask> queued;
    std::vector<runs::SlurmTask> tasks;
    // Without Slurm's answer the records alone cannot tell that all is done.
    bool slurm_unknown = false;
    // No script: no task of the campaign is in Slurm. One that is there is read as a regular
    // file only (a FIFO would block).
    if (host.facts(host.program_path(script_path))) {
        tasks = runs::script_tasks(runs::read_regular_file(script_path, "the job script"));
        if (!tasks.empty()) {
            const auto limit = slurm_time_limit("QV_SQUEUE_TIMEOUT", std::chrono::seconds(10));
            const Captured squeue = capture({"squeue", "--me", "--array", "--noheader",
                                             std::string("--format=") + runs::squeue_format},
                                            limit);
            if (squeue.timed_out) {
                err << "qvopt batch status: " << no_answer("squeue", limit)
                    << "; the states of the job's tasks are not known\n";
                slurm_unknown = true;
            } else if (squeue.started && squeue.status == 0) {
                queued = runs::queued_tasks(squeue.out, script_path);
            }
        }
    }
    const runs::BatchStatus status =
        runs::batch_status(p.campaign, p.outputs, check, queued, tasks);
    const bool all_done = status.all_finished() && !slurm_unknown;

    if (lines) {
        for (const auto& s : status.scenarios)
            write_json_line(out, scenario_json(s, host));
    } else if (json) {
        nlohmann::ordered_json doc;
        doc["list"] = p.campaign.list_path;
        doc["all_done"] = all_done;
        doc["scenarios"] = nlohmann::ordered_json::array();
        for (const auto& s : status.scenarios)
            doc["scenarios"].push_back(scenario_json(s, host));
        write_json(out, doc);
    } else {
        out << runs::status_table(status);
    }
    return all_done ? exit_status::ok : exit_status::messages;
}

}  // namespace

BatchSlurmCommands::BatchSlurmCommands(CLI::App& batch) : opt_(std::make_unique<Options>()) {
    Options& o = *opt_;
    o.slurm = batch.add_subcommand(
        "slurm", "write LIST.sbatch, a Slurm job array with one task per scenario to run");
    o.slurm->add_option("LIST", o.list, "campaign: a file listing options files")->required();
    o.slurm->add_option("--partition", o.resources.partition, "Slurm partition");
    o.slurm->add_option("--time", o.resources.time, "time limit of each task, HH:MM:SS");
    o.slurm->add_option("--cpus-per-task", o.resources.cpus_per_task, "CPUs of each task")
        ->check(CLI::PositiveNumber);
    o.slurm->add_option("--max-parallel", o.resources.max_parallel, "tasks running at once")
        ->check(CLI::PositiveNumber);
    o.slurm->add_option("--account", o.resources.account, "Slurm account to charge");
    o.slurm->add_flag("--force", o.force, "include the scenarios that are up to date");
    auto* submit =
        o.slurm->add_flag("--submit", o.submit, "submit with sbatch and print the job id");
    o.slurm
        ->add_flag("--print", o.print,
                   "print the job script instead of writing it (what it would write on stderr)")
        ->excludes(submit);

    o.status = batch.add_subcommand(
        "status", "each scenario's state; exit status 1 unless all are done and up to date");
    o.status->add_option("LIST", o.list, "campaign: a file listing options files")->required();
    o.status->add_flag("--json", o.json, "print JSON");
    o.status->add_flag("--lines", o.lines,
                       "print one JSON object per scenario, each on a line of its own");
    for (auto* sub : {o.slurm, o.status})
        sub->fallthrough();
}

BatchSlurmCommands::~BatchSlurmCommands() = default;

bool BatchSlurmCommands::parsed() const {
    return opt_->slurm->parsed() || opt_->status->parsed();
}

int BatchSlurmCommands::run(const CommonOptions& common, std::ostream& out, std::ostream& err,
                            const runs::RecordCheck& check) const {
    const Options& o = *opt_;
    const char* name = o.slurm->parsed() ? "qvopt batch slurm: " : "qvopt batch status: ";
    try {
        if (o.slurm->parsed())
            return slurm_command(o.list, o.resources, o.force, o.submit, o.print, common, out, err,
                                 check);
        return status_command(o.list, o.json, o.lines, common, out, err, check);
    } catch (const std::exception& e) {
        // Campaign and job-script refusals, and file-system failures, all end the command.
        err << name << e.what() << '\n';
    }
    return exit_status::messages;
}

}  // namespace qv::cli
