// Run records: `qvopt status` over 1,000 up-to-date options files (the demo scenario, 33 inputs
// each), and the record of a scenario naming 200 input files of 500 MB in all: how long the
// hashing takes, and how much a run that outlasts it waits for its record at the end.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/headless.h"
#include "cli/qvopt.h"
#include "platform/hash/openssl_hasher.h"
#include "runs/recorded_run.h"

namespace {

namespace fs = std::filesystem;

struct TempTree {
    fs::path root;
    TempTree() {
        std::string pattern = (fs::temp_directory_path() / "qv-bench-XXXXXX").string();
        root = mkdtemp(pattern.data());
    }
    ~TempTree() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

// A copy of the demo model directory with `count` options files, each with its own output and
// an up-to-date record (written as a run would write it, without running the model).
struct StatusTree {
    TempTree tmp;
    fs::path model = tmp.root / "model";
    std::vector<std::string> files;

    explicit StatusTree(int count) {
        fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", model,
                 fs::copy_options::recursive);
        write(model / "qv-demo-model", "model");
        const std::string demo = read(model / "demo.opt");
        qv::cli::CommonOptions common;
        common.model_dir = model.string();
        common.model_exe = "qv-demo-model";
        qv::OpensslHasher hasher;
        for (int i = 0; i < count; ++i) {
            const std::string name = "run" + std::to_string(i);
            std::string text = demo;
            for (const char* ext : {".out", ".msg"}) {
                const std::string from = std::string("outputs\\demo") + ext;
                text.replace(text.find(from), from.size(), "outputs\\" + name + ext);
            }
            const fs::path opt = model / (name + ".opt");
            write(opt, text);
            files.push_back(opt.string());
            qv::cli::HeadlessSession session(common, nullptr);
            session.open(opt.string());
            qv::runs::RecordedRun run(session.s, hasher, "qvopt");
            run.started("qv-demo-model " + opt.string(), model.string());
            write(model / "outputs" / (name + ".out"), "output " + name);
            write(model / "outputs" / (name + ".msg"), "messages " + name);
            run.ended(0, qv::runs::StopReason::none, "");
        }
    }
};

void BM_StatusOf1000UpToDateFiles(benchmark::State& state) {
    StatusTree tree(1000);
    std::vector<std::string> args = {"qvopt", "--model-dir", tree.model.string(), "status"};
    args.insert(args.end(), tree.files.begin(), tree.files.end());
    const fs::path start = fs::current_path();
    for (auto _ : state) {
        std::ostringstream out, err;
        const int status = qv::cli::run_qvopt(args, out, err);
        fs::current_path(start);
        if (status != 0)
            state.SkipWithError("not all up to date");
    }
    state.counters["files"] = 1000;
}
BENCHMARK(BM_StatusOf1000UpToDateFiles)->Unit(benchmark::kMillisecond)->Iterations(3);

// 200 input files, 2.5 MB each, named by one scenario's growth list.
struct BigScenario {
    TempTree tmp;
    fs::path model = tmp.root / "model";
    qv::HostFileSystem fs;
    qv::cli::CommonOptions common;
    std::unique_ptr<qv::cli::HeadlessSession> session;

    BigScenario() {
        std::string block(2'500'000, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>((i * 2654435761u) >> 13);
        std::string growth;
        for (int i = 0; i < 200; ++i) {
            block[0] = static_cast<char>(i);
            write(model / "data" / ("g" + std::to_string(i) + ".grw"), block);
            growth += "Growth FILE        : data\\g" + std::to_string(i) + ".grw\r\n";
        }
        write(model / "qv-demo-model", "model");
        write(model / "big.opt",
              "/RUNFILES/\r\nOUTPUT DATA        : outputs\\big.out\r\n"
              "MESSAGE            : outputs\\big.msg\r\n/END/\r\n"
              "/GROWTH FILES/\r\n" +
                  growth + "/END/\r\n");
        fs::create_directories(model / "outputs");
        common.model_dir = model.string();
        common.model_exe = "qv-demo-model";
        session = std::make_unique<qv::cli::HeadlessSession>(common, nullptr);
        session->open((model / "big.opt").string());
    }
};

// Hashing the 200 inputs (500 MB) alone, as the recorder's thread does while the model runs.
void BM_HashInputsOf500MB(benchmark::State& state) {
    BigScenario big;
    qv::OpensslHasher hasher;
    for (auto _ : state) {
        qv::runs::RecordPlan plan = qv::runs::plan_record(big.session->s, "qvopt");
        for (auto& f : plan.inputs)
            qv::runs::examine(big.fs, hasher, f);
        benchmark::DoNotOptimize(plan);
    }
    state.SetBytesProcessed(state.iterations() * 500'000'000);
}
BENCHMARK(BM_HashInputsOf500MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// A model that runs for state.range(0) ms: what the record adds after it has ended (the
// results' hashes and the write), measured from the model's end to the record on disk.
void BM_RecordAddsAfterTheModelEnds(benchmark::State& state) {
    BigScenario big;
    qv::OpensslHasher hasher;
    const auto model_time = std::chrono::milliseconds(state.range(0));
    for (auto _ : state) {
        qv::runs::RecordedRun run(big.session->s, hasher, "qvopt");
        state.PauseTiming();
        run.started("qv-demo-model big.opt", big.model.string());
        std::this_thread::sleep_for(model_time);
        write(big.model / "outputs/big.out", "output");
        write(big.model / "outputs/big.msg", "messages");
        state.ResumeTiming();
        if (!run.ended(0, qv::runs::StopReason::none, "").empty())
            state.SkipWithError("record not written");
    }
}
BENCHMARK(BM_RecordAddsAfterTheModelEnds)
    ->Arg(0)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
