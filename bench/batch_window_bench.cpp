// The Batch window's campaign (BatchCampaign) opening a list of 1,000 scenarios of the demo
// workspace: the time until qvopt's check has given every row its state, the time until every
// row has its title and region, and the longest time the window's thread went without handling
// events meanwhile (measured as the largest gap between the ticks of a 1 ms timer).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/console/console_ui.h"
#include "platform/fs/host_file_system.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "shell/batch_campaign.h"

namespace {

namespace fs = std::filesystem;

constexpr int scenarios = 1000;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of the demo workspace with the campaign, built once; removed at exit.
struct Workspace {
    Workspace() {
        char tmpl[] = "/tmp/qvbench-XXXXXX";
        dir = mkdtemp(tmpl);
        fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", dir / "model",
                 fs::copy_options::recursive);
        const std::string demo = read(dir / "model/demo.opt");
        std::string list;
        for (int i = 0; i < scenarios; ++i) {
            const std::string name = "s" + std::to_string(i);
            std::string text = demo;
            for (const char* ext : {".msg", ".out"}) {
                const std::string from = std::string("outputs\\demo") + ext;
                text.replace(text.find(from), from.size(), "outputs\\" + name + ext);
            }
            std::ofstream(dir / "model" / (name + ".opt"), std::ios::binary) << text;
            list += "model/" + name + ".opt\n";
        }
        std::ofstream(dir / "campaign.txt", std::ios::binary) << list;
    }
    ~Workspace() { fs::remove_all(dir); }
    fs::path dir;
};

void BM_OpenCampaign(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "batch_window_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Workspace w;
    qputenv("QV_QVOPT", (fs::path(QV_BINARY_DIR) / "qvopt").string().c_str());

    qv::HostFileSystem hfs;
    qv::ConsoleUi ui;
    auto ref = qv::make_reference_engine();
    qv::Session s(ui, hfs, *ref);
    s.settings.model_dir = (w.dir / "model").string();
    s.settings.model_exe = "qv-demo-model";

    for (auto _ : state) {
        qv::BatchCampaign jobs(s);
        jobs.use_settings_file(QString::fromStdString((w.dir / "settings.conf").string()));
        QElapsedTimer clock, gap;
        qint64 longest_gap = 0;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { longest_gap = std::max(longest_gap, gap.restart()); });
        clock.start();
        gap.start();
        ticker.start();
        jobs.open_list(QString::fromStdString((w.dir / "campaign.txt").string()));
        qint64 checked = -1;
        auto all_titles = [&] {
            for (int i = 0; i < jobs.size(); ++i)
                if (jobs.row(i).title.isEmpty())
                    return false;
            return jobs.size() == scenarios;
        };
        while (!all_titles() && clock.elapsed() < 600'000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (checked < 0 && !jobs.checking() && jobs.size() == scenarios)
                checked = clock.elapsed();
        }
        state.counters["checked_ms"] = static_cast<double>(checked);
        state.counters["facts_ms"] = static_cast<double>(clock.elapsed());
        state.counters["longest_gap_ms"] = static_cast<double>(longest_gap);
        if (!all_titles())
            state.SkipWithError("the rows did not get their facts");
    }
}
BENCHMARK(BM_OpenCampaign)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
