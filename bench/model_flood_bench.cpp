// A model that prints 100 MB in lines (about 1.4 million), run alone with its output going to
// /dev/null and to a file, through the run function, and under qvopt run (whose output goes to
// /dev/null and whose log beside the output data file receives all of it). The run must not be
// much slower than the model writing its output to a file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/process/posix_model_launcher.h"
#include "runs/model_process.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t flood_bytes = 100'000'000;

// A copy of the demo workspace whose model prints the flood and writes its two result files.
struct Workspace {
    fs::path root;
    fs::path model;
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "qvflood-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        model = root / "model";
        fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", model,
                 fs::copy_options::recursive);
        fs::create_directories(model / "outputs");
        {
            std::ofstream lines(root / "lines.txt", std::ios::binary);
            std::string line;
            for (std::size_t n = 0, i = 0; n < flood_bytes; n += line.size(), ++i) {
                line = "line " + std::to_string(i) +
                       " of the model's progress report, padded to a usual width\n";
                lines << line;
            }
        }
        // cat copies a file into a file inside the kernel (copy_file_range), faster than any
        // model that prints; dd with 4 KiB blocks writes as a model's buffered printing does.
        const std::string lines_file = (root / "lines.txt").string();
        write_model("flood.sh", "cat '" + lines_file + "'");
        write_model("flood-4k.sh", "dd bs=4096 status=none if='" + lines_file + "'");
        std::ofstream quiet(model / "quiet.sh");
        quiet << "#!/bin/sh\necho done > outputs/demo.msg\necho done > outputs/demo.out\n";
        quiet.close();
        fs::permissions(model / "quiet.sh", fs::perms(0755));
    }
    void write_model(const std::string& name, const std::string& print) {
        std::ofstream script(model / name);
        script << "#!/bin/sh\n"
               << print << "\necho done > outputs/demo.msg\necho done > outputs/demo.out\n";
        script.close();
        fs::permissions(model / name, fs::perms(0755));
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

// Runs a program with its output going to `out` and waits for it.
void run_to(std::vector<std::string> args, const fs::path& dir, const char* out = "/dev/null") {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    fs::current_path(here);
    posix_spawn_file_actions_destroy(&actions);
}

void BM_ModelAlone(benchmark::State& state, const char* model_exe) {
    Workspace& w = workspace();
    for (auto _ : state)
        run_to({(w.model / model_exe).string(), (w.model / "demo.opt").string()}, w.model);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * flood_bytes));
}

// The model alone with its output in a file: what the run's log costs at least.
void BM_ModelAloneToFile(benchmark::State& state, const char* model_exe) {
    Workspace& w = workspace();
    const std::string file = (w.model / "outputs/alone.txt").string();
    for (auto _ : state)
        run_to({(w.model / model_exe).string(), (w.model / "demo.opt").string()}, w.model,
               file.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * flood_bytes));
}

void BM_RunFunction(benchmark::State& state, const char* model_exe) {
    Workspace& w = workspace();
    qv::PosixModelLauncher launcher;
    qv::runs::RunRequest request;
    request.model_path = (w.model / model_exe).string();
    request.args = {(w.model / "demo.opt").string()};
    request.working_dir = w.model.string();
    request.log_path = (w.model / "outputs/demo.out.log").string();
    std::size_t lines = 0;
    qv::runs::RunHooks hooks;
    hooks.on_line = [&](std::string_view) { ++lines; };
    for (auto _ : state)
        qv::runs::run_model_process(launcher, request, hooks, {});
    state.counters["lines"] = static_cast<double>(lines) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * flood_bytes));
}

// qvopt run with the flooding model, and with a quiet one: what reading, checking and saving the
// options file cost, apart from the flood.
void BM_UnderQvopt(benchmark::State& state, const char* model_exe) {
    Workspace& w = workspace();
    for (auto _ : state)
        run_to({std::string(QV_BINARY_DIR) + "/qvopt", "--model-dir", w.model.string(),
                "--model-exe", model_exe, "run", (w.model / "demo.opt").string()},
               w.root);
}

}  // namespace

#define QV_FLOOD(fn, name, exe) \
    BENCHMARK_CAPTURE(fn, name, exe)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)

QV_FLOOD(BM_ModelAlone, cat, "flood.sh");
QV_FLOOD(BM_ModelAloneToFile, cat, "flood.sh");
QV_FLOOD(BM_RunFunction, cat, "flood.sh");
QV_FLOOD(BM_UnderQvopt, cat, "flood.sh");
QV_FLOOD(BM_ModelAlone, dd_4k, "flood-4k.sh");
QV_FLOOD(BM_ModelAloneToFile, dd_4k, "flood-4k.sh");
QV_FLOOD(BM_RunFunction, dd_4k, "flood-4k.sh");
QV_FLOOD(BM_UnderQvopt, dd_4k, "flood-4k.sh");
QV_FLOOD(BM_UnderQvopt, quiet, "quiet.sh");
