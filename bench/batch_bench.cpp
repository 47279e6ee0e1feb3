// qvopt batch: the time `batch run` adds to each run (200 runs of a model that exits at once,
// against the same 200 model starts made directly), and `batch make` of one file per county of
// the largest state and of every county of the reference database.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/qvopt.h"
#include "scenario/state_table.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int runs = 200;

struct Workspace {
    fs::path root, model;
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "qvbatch-bench-XXXXXX").string();
        root = mkdtemp(pattern.data());
        model = root / "model";
        fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", model,
                 fs::copy_options::recursive);
        std::ofstream(model / "quick.sh")
            << "#!/bin/sh\nb=\"${1%.*}\"\necho m > \"$b.MSG\"\necho o > \"$b.OUT\"\n";
        fs::permissions(model / "quick.sh", fs::perms::owner_all);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    int qvopt(std::vector<std::string> args) const {
        std::vector<std::string> all{
            "qvopt",       "--model-dir", model.string(), "--data-dir", (model / "data").string(),
            "--model-exe", "quick.sh"};
        all.insert(all.end(), args.begin(), args.end());
        std::ostringstream out, err;
        const fs::path here = fs::current_path();
        const int status = qv::cli::run_qvopt(all, out, err);
        fs::current_path(here);
        return status;
    }
};

// A campaign of 200 scenarios: 50 states times 4 years.
std::string make_campaign(const Workspace& w) {
    const fs::path dir = w.root / "runs";
    w.qvopt({"batch", "make", (w.model / "demo.opt").string(), "--out", dir.string(), "--force",
             "--states",
             "AL,AK,AZ,AR,CA,CO,CT,DE,FL,GA,HI,ID,IL,IN,IA,KS,KY,LA,ME,MD,MA,MI,MN,MS,MO,MT,NE,NV,"
             "NH,NJ,NM,NY,NC,ND,OH,OK,OR,PA,RI,SC,SD,TN,TX,UT,VT,VA,WA,WV,WI,WY",
             "--years", "2020,2025,2030,2035"});
    return (dir / "campaign.txt").string();
}

// The same model starts, one after another, without qvopt.
double direct_seconds(const Workspace& w, const std::string& list) {
    std::vector<std::string> files;
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            files.push_back((fs::path(list).parent_path() / line).string());
    const std::string model = (w.model / "quick.sh").string();
    const auto t0 = std::chrono::steady_clock::now();
    for (const auto& f : files) {
        char* argv[] = {const_cast<char*>(model.c_str()), const_cast<char*>(f.c_str()), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, model.c_str(), nullptr, nullptr, argv, environ) == 0)
            waitpid(pid, nullptr, 0);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() /
           static_cast<double>(files.size());
}

void BM_BatchRunAddedPerRun(benchmark::State& state) {
    Workspace w;
    const std::string list = make_campaign(w);
    const std::string jobs = std::to_string(state.range(0));
    double model_alone = direct_seconds(w, list);
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        w.qvopt({"batch", "run", list, "-j", jobs, "--force"});
        const double per_run =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / runs;
        // With N at a time, each run's share of the wall time is 1/N of its own.
        state.counters["ms_per_run"] = per_run * 1e3;
        state.counters["ms_model_alone"] = model_alone * 1e3;
        state.counters["ms_added_per_run"] =
            (per_run * static_cast<double>(state.range(0)) - model_alone) * 1e3;
    }
}
BENCHMARK(BM_BatchRunAddedPerRun)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_BatchMake(benchmark::State& state) {
    Workspace w;
    std::vector<std::string> args{"batch",
                                  "make",
                                  (w.model / "demo.opt").string(),
                                  "--out",
                                  (w.root / "made").string(),
                                  "--force",
                                  "--each-county"};
    if (state.range(0) == 0) {
        args.push_back("TX");  // the state with the most counties
    } else {
        qv::StateTable table;
        qv::build_state_table(table);
        std::string all;
        for (const auto& row : table)
            all += (all.empty() ? "" : ",") + row->abbr;
        args.push_back(all);
    }
    std::size_t files = 0;
    for (auto _ : state) {
        if (w.qvopt(args) != 0)
            state.SkipWithError("batch make failed");
        files = 0;
        for (const auto& e : fs::directory_iterator(w.root / "made"))
            files += e.path().extension() == ".opt";
    }
    state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_BatchMake)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
