#include "cli/batch_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "runs/run_record.h"
#include "scenario/options_file.h"

extern char** environ;

namespace qv::cli {

namespace {

using namespace std::chrono_literals;

// Sessions change the process's current directory while they read and save, so only one
// thread at a time may use one.
std::mutex session_mutex;

struct Prepared {
    std::string model, options_file, working_dir;
    std::optional<runs::RecordPlan> record;
    std::string failure;
};

std::string events_text(const HeadlessSession& run) {
    std::ostringstream out;
    write_event_lines(out, run.events(), run.outcome());
    std::string text = out.str();
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// Reads and saves the scenario as `qvopt run` does before it starts the model.
Prepared prepare(const LocalRunSetup& setup, const std::string& file) {
    std::lock_guard lock(session_mutex);
    Prepared p;
    std::error_code ec;
    const auto start_dir = std::filesystem::current_path(ec);
    HeadlessSession run(setup.common, setup.argv0);
    if (!run.open(file)) {
        p.failure = "not read: " + events_text(run);
    } else if (run.s.read_incomplete) {
        p.failure = "not read in full: " + events_text(run);
    } else if (run.s.settings.model_dir.empty() || run.s.settings.model_exe.empty()) {
        p.failure = "the model is not known: give --config, or --model-dir and --model-exe";
    } else if (!run.step([&] { update_default_option_file(run.s); })) {
        p.failure = "not saved: " + events_text(run);
    } else {
        const ShellSettings& cfg = run.s.settings;
        p.model = run.fs.host_path(cfg.model_dir + "\\" + cfg.model_exe);
        p.options_file = run.fs.host_path(run.s.option_file_path());
        p.working_dir = run.fs.host_path(cfg.model_dir);
        if (setup.hasher)
            p.record = runs::plan_record(run.s, "qvopt");
    }
    std::filesystem::current_path(start_dir, ec);
    return p;
}

// File times come from the kernel's coarse clock, so the run's start is read from it too.
timespec coarse_now() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME_COARSE, &t);
    return t;
}

bool not_before(const timespec& a, const timespec& b) {
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec >= b.tv_nsec);
}

std::vector<std::string> last_lines(const std::string& path, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff from = std::max<std::streamoff>(0, size - 8192);
    in.seekg(from);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    if (from > 0 && !lines.empty())
        lines.erase(lines.begin());  // probably cut
    if (lines.size() > count)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}

void ended(const std::vector<runs::RunObserver*>& observers, runs::RunFacts& facts) {
    facts.ended = std::chrono::system_clock::now();
    for (runs::RunObserver* o : observers)
        o->run_ended(facts);
}

}  // namespace

runs::RunFacts run_scenario(const LocalRunSetup& setup, const runs::BatchJob& job,
                            const std::atomic<bool>& stop) {
    runs::RunFacts facts;
    facts.options_file = job.entry.path;
    facts.started = std::chrono::system_clock::now();
    const Prepared p = prepare(setup, job.entry.path);
    std::vector<runs::RunObserver*> observers = setup.observers;
    if (!p.failure.empty()) {
        facts.failure = p.failure;
        ended(observers, facts);
        return facts;
    }
    HostFileSystem fs;
    std::unique_ptr<runs::RunRecorder> recorder;
    if (p.record) {
        recorder = std::make_unique<runs::RunRecorder>(fs, *setup.hasher, *p.record);
        observers.push_back(recorder.get());
    }
    facts.options_file = p.options_file;
    facts.model_path = p.model;
    facts.working_dir = p.working_dir;
    facts.command_line = p.model + " " + p.options_file;
    facts.results = {{"message", job.outputs.message}, {"output", job.outputs.output_data}};
    const std::string log = job.outputs.output_data + ".log";

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, p.working_dir.c_str());
    // Its own process group, so that a stop ends whatever the model started too.
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::vector<char*> argv{const_cast<char*>(p.model.c_str()),
                            const_cast<char*>(p.options_file.c_str()), nullptr};
    const timespec start = coarse_now();
    facts.started = std::chrono::system_clock::now();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, p.model.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (error != 0) {
        facts.failure = "the model could not be started: " + std::string(std::strerror(error));
        ended(observers, facts);
        return facts;
    }
    facts.was_started = true;
    for (runs::RunObserver* o : observers)
        o->run_started(facts);

    const auto t0 = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> term_sent;
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR))
            break;
        const auto now = std::chrono::steady_clock::now();
        if (!term_sent) {
            if (stop.load())
                facts.stopped = "user";
            else if (setup.time_limit && now - t0 >= *setup.time_limit)
                facts.stopped = "time limit";
            if (!facts.stopped.empty()) {
                kill(-pid, SIGTERM);
                term_sent = now;
            }
        } else if (now - *term_sent >= 2s) {
            kill(-pid, SIGKILL);
        }
        std::this_thread::sleep_for(5ms);
    }
    // What the model left behind in its group goes with it.
    if (!facts.stopped.empty())
        kill(-pid, SIGKILL);
    if (WIFEXITED(status))
        facts.exit_status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        facts.signal = WTERMSIG(status);

    for (runs::ResultFile& r : facts.results) {
        // The model may have written the name in another letter case than the options file.
        r.path = HostFileSystem().host_path(r.path);
        struct stat st {};
        r.exists = !r.path.empty() && stat(r.path.c_str(), &st) == 0;
        r.written_by_this_run = r.exists && not_before(st.st_mtim, start);
    }
    facts.console_tail = last_lines(log, 20);
    ended(observers, facts);
    return facts;
}

bool record_up_to_date(const Hasher& hasher, const runs::BatchJob& job) {
    if (job.outputs.output_data.empty())
        return false;
    HostFileSystem fs;
    const std::string record = runs::record_path_for(fs, fs.program_path(job.outputs.output_data));
    return runs::check_record(record, fs, hasher).state == runs::RecordState::up_to_date;
}

runs::ScenarioOutputs read_scenario_outputs(const CommonOptions& common, const char* argv0,
                                            const runs::CampaignEntry& entry) {
    std::lock_guard lock(session_mutex);
    std::error_code ec;
    const auto start_dir = std::filesystem::current_path(ec);
    HeadlessSession run(common, argv0);
    const bool read = run.open(entry.path) && !run.s.read_incomplete;
    std::filesystem::current_path(start_dir, ec);
    if (!read)
        throw runs::CampaignError(entry.path + " (line " + std::to_string(entry.line) +
                                  ") cannot be read: " + events_text(run));
    return runs::scenario_outputs(run.s);
}

}  // namespace qv::cli
