#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "dialogs/scenario/sources_rules.h"
#include "platform/fs/host_file_system.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/region_rules.h"
#include "scenario/state_table.h"

namespace {

// A Ui that answers nothing: the benchmarked steps show no box when they succeed.
class SilentUi : public qv::Ui {
  public:
    qv::Button message(const std::string&, const std::optional<std::string>&, qv::Icon,
                       qv::Buttons) override {
        ++messages;
        return qv::Button::Ok;
    }
    std::optional<std::string> open_file(const qv::ChooserRequest&) override { return {}; }
    std::optional<std::string> save_file(const qv::ChooserRequest&) override { return {}; }
    std::optional<std::string> choose_directory(const std::string&, const std::string&) override {
        return {};
    }
    void busy(bool) override {}
    void beep() override {}
    void process_events() override {}
    int messages = 0;
};

// A session over the demo workspace of the build tree.
struct DemoSession {
    DemoSession() {
        s.settings.model_dir = fs.program_path(QV_BINARY_DIR "/examples/demo/model");
        s.settings.msgbox_title = "US KQT QUARVEL MODEL";
        s.log.open_in_memory();
        qv::build_state_table(s.state_table);
    }
    qv::HostFileSystem fs;
    SilentUi ui;
    std::unique_ptr<qv::ReferenceEngine> ref = qv::make_reference_engine();
    qv::Session s{ui, fs, *ref};
};

// The counties of Texas (254, the most of any state), as a click in the States list asks for
// them: open the database, query, fill the collection, close.
void BM_CountyQueryLargestState(benchmark::State& state) {
    DemoSession d;
    qv::RegionCls texas{"48000", "", "Texas", "TX", true};
    std::size_t counties = 0;
    for (auto _ : state)
        counties = qv::query_state_counties(d.s, texas).size();
    if (counties != 254 || d.ui.messages)
        state.SkipWithError("unexpected county list");
    state.counters["counties"] = static_cast<double>(counties);
}
BENCHMARK(BM_CountyQueryLargestState)->Unit(benchmark::kMillisecond);

// "All Segments", "All Fuels", "Add Equipment" on an empty source list.
void BM_AddEquipmentAllSegmentsAllFuels(benchmark::State& state) {
    DemoSession d;
    std::size_t added = 0;
    for (auto _ : state) {
        qv::set_listed_sources(d.s.sc, {});
        d.s.log = qv::RunLog();
        d.s.log.open_in_memory();
        added = qv::add_sources(d.s, qv::add_equipment, 0, 0, "00000").size();
    }
    if (added == 0 || d.ui.messages)
        state.SkipWithError("nothing added");
    state.counters["codes"] = static_cast<double>(added);
}
BENCHMARK(BM_AddEquipmentAllSegmentsAllFuels)->Unit(benchmark::kMillisecond);

}  // namespace
