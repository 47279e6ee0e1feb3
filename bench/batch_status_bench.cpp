// qvopt batch status over a campaign of 3,200 scenarios of the demo workspace, every one done
// and up to date, and qvopt batch slurm writing the job script of the same campaign with --force.
// Both read every options file's result names and every scenario's run state.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/qvopt.h"

namespace {

namespace fs = std::filesystem;

constexpr int scenarios = 3200;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// A copy of the demo workspace with the campaign, built once; removed at exit.
struct Workspace {
    Workspace() {
        char tmpl[] = "/tmp/qvbench-XXXXXX";
        dir = mkdtemp(tmpl);
        fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", dir / "model",
                 fs::copy_options::recursive);
        fs::create_directories(dir / "model/outputs");
        fs::copy_file(fs::path(QV_BINARY_DIR) / "tools/demo-model/qv-demo-model",
                      dir / "model/qv-demo-model");
        const std::string demo = read(dir / "model/demo.opt");
        std::string list;
        for (int i = 0; i < scenarios; ++i) {
            const std::string name = "s" + std::to_string(i);
            std::string text = demo;
            for (const char* ext : {".msg", ".out"}) {
                const std::string from = std::string("outputs\\demo") + ext;
                text.replace(text.find(from), from.size(), "outputs\\" + name + ext);
            }
            write(dir / "model" / (name + ".opt"), text);
            list += "model/" + name + ".opt\n";
        }
        write(dir / "campaign.txt", list);
        // Every scenario is run once by the demo model, so that each has an up-to-date record.
        setenv("QV_DEMO_MODEL_SECONDS", "0", 1);
        std::ostringstream out, err;
        if (qv::cli::run_qvopt(with_common({"run", (dir / "campaign.txt").string()}), out, err) !=
            0)
            std::abort();
    }

    // qvopt batch TAIL with the workspace's model directory and the demo model.
    std::vector<std::string> with_common(const std::vector<std::string>& tail) const {
        std::vector<std::string> args = {"qvopt",       "--model-dir",   (dir / "model").string(),
                                         "--model-exe", "qv-demo-model", "batch"};
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    }
    ~Workspace() { fs::remove_all(dir); }

    fs::path dir;
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

void run(benchmark::State& state, const std::vector<std::string>& tail, int expected) {
    const std::vector<std::string> args = workspace().with_common(tail);
    for (auto _ : state) {
        std::ostringstream out, err;
        if (qv::cli::run_qvopt(args, out, err) != expected) {
            state.SkipWithError(("unexpected exit status: " + err.str()).c_str());
            break;
        }
    }
}

void BM_BatchStatusAllUpToDate(benchmark::State& state) {
    run(state, {"status", (workspace().dir / "campaign.txt").string()}, 0);
}
BENCHMARK(BM_BatchStatusAllUpToDate)->Unit(benchmark::kMillisecond);

void BM_BatchSlurmScriptOfAll(benchmark::State& state) {
    run(state, {"slurm", (workspace().dir / "campaign.txt").string(), "--force"}, 0);
}
BENCHMARK(BM_BatchSlurmScriptOfAll)->Unit(benchmark::kMillisecond);

}  // namespace
