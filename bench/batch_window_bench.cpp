// The Batch window's campaign (BatchCampaign) opening a list of 1,000 and 10,000 scenarios of
// the demo workspace: the time until qvopt's check has given every row its state, the time until
// every row has its title and region, and the longest time the window's thread went without
// handling events meanwhile (measured as the largest gap between the ticks of a 1 ms timer).
// Each is printed beside its target: every title within 1 s per 1,000 rows, no gap over 16 ms.
// BM_OneShowPerRow measures the window's former way for comparison: one "qvopt show" per row,
// two at a time.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/console/console_ui.h"
#include "platform/fs/host_file_system.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/session.h"
#include "shell/batch_campaign.h"

namespace {

namespace fs = std::filesystem;

constexpr int most_scenarios = 10000;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of the demo workspace with the campaigns of its first N scenarios
// ("campaign-N.txt"), built once; removed at exit.
struct Workspace {
    Workspace() {
        char tmpl[] = "/tmp/qvbench-XXXXXX";
        dir = mkdtemp(tmpl);
        fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", dir / "model",
                 fs::copy_options::recursive);
        const std::string demo = read(dir / "model/demo.opt");
        std::string list;
        for (int i = 0; i < most_scenarios; ++i) {
            const std::string name = "s" + std::to_string(i);
            std::string text = demo;
            for (const char* ext : {".msg", ".out"}) {
                const std::string from = std::string("outputs\\demo") + ext;
                text.replace(text.find(from), from.size(), "outputs\\" + name + ext);
            }
            std::ofstream(dir / "model" / (name + ".opt"), std::ios::binary) << text;
            list += "model/" + name + ".opt\n";
            if (i + 1 == 1000 || i + 1 == most_scenarios)
                std::ofstream(dir / ("campaign-" + std::to_string(i + 1) + ".txt"),
                              std::ios::binary)
                    << list;
        }
    }
    ~Workspace() { fs::remove_all(dir); }
    fs::path dir;
};

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "batch_window_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication a(argc, argv);
    return a;
}

const Workspace& workspace() {
    static Workspace w;
    return w;
}

const fs::path qvopt = fs::path(QV_BINARY_DIR) / "qvopt";

// Counts the rows that have a title; a row, once titled, stays so.
struct Titled {
    const qv::BatchCampaign& jobs;
    int first_without = 0;
    bool all(int rows) {
        while (first_without < jobs.size() && !jobs.row(first_without).title.isEmpty())
            ++first_without;
        return jobs.size() == rows && first_without == rows;
    }
};

void BM_OpenCampaign(benchmark::State& state) {
    app();
    const Workspace& w = workspace();
    const int rows = static_cast<int>(state.range(0));
    qputenv("QV_QVOPT", qvopt.string().c_str());

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
        const fs::path list = w.dir / ("campaign-" + std::to_string(rows) + ".txt");
        jobs.open_list(QString::fromStdString(list.string()));
        qint64 checked = -1;
        Titled titled{jobs};
        while (!titled.all(rows) && clock.elapsed() < 600'000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (checked < 0 && !jobs.checking() && jobs.size() == rows)
                checked = clock.elapsed();
        }
        state.counters["checked_ms"] = static_cast<double>(checked);
        state.counters["titles_ms"] = static_cast<double>(clock.elapsed());
        state.counters["titles_target_ms"] = rows;  // 1 s per 1,000 rows
        state.counters["longest_gap_ms"] = static_cast<double>(longest_gap);
        state.counters["gap_target_ms"] = 16;
        if (!titled.all(rows))
            state.SkipWithError("the rows did not get their facts");
    }
}
BENCHMARK(BM_OpenCampaign)
    ->Arg(1000)
    ->Arg(most_scenarios)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The former way to the titles: one "qvopt show FILE" per row, two at a time.
void BM_OneShowPerRow(benchmark::State& state) {
    app();
    const Workspace& w = workspace();
    const int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        int next = 0, ended = 0, running = 0;
        std::function<void()> start_more = [&] {
            while (running < 2 && next < rows) {
                auto* p = new QProcess;
                const fs::path file = w.dir / "model" / ("s" + std::to_string(next++) + ".opt");
                QObject::connect(p, &QProcess::finished, [&, p] {
                    p->deleteLater();
                    --running;
                    ++ended;
                    start_more();
                });
                ++running;
                p->start(QString::fromStdString(qvopt.string()),
                         {"--model-dir", QString::fromStdString((w.dir / "model").string()), "show",
                          QString::fromStdString(file.string())});
            }
        };
        start_more();
        while (ended < rows && clock.elapsed() < 600'000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.counters["titles_ms"] = static_cast<double>(clock.elapsed());
        state.counters["titles_target_ms"] = rows;
    }
}
BENCHMARK(BM_OneShowPerRow)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
