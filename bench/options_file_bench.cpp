// Reading and merging back a large options file: 3,000 growth lines and 3,000 allocation lines.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/console/console_ui.h"
#include "platform/fs/host_file_system.h"
#include "scenario/options_file.h"
#include "scenario/session.h"
#include "scenario/state_table.h"

namespace {

class NoRowsReference : public qv::ReferenceEngine {
  public:
    void open(const std::string&) override { open_ = true; }
    void close() override { open_ = false; }
    bool is_open() const override { return open_; }
    qv::QueryResult query(std::string_view) override { return {}; }

  private:
    bool open_ = false;
};

std::string large_file() {
    std::string s;
    auto line = [&](const std::string& l) { s += l + "\r\n"; };
    line("/RUNFILES/");
    line("MESSAGE            : outputs\\big.msg");
    line("OUTPUT DATA        : outputs\\big.out");
    line("/END/");
    line("/OPTIONS/");
    for (const char* l : {"Title 1            : big", "Title 2            : file",
                          "Fuel RVP for gas   : 9", "Oxygen Weight %    : 0"})
        line(l);
    line("/END/");
    line("/PERIOD/");
    for (const char* l :
         {"Period type        : Annual", "Summation type     : Typical day",
          "Year of episode    : 2020", "Season of year     :", "Month of year      :",
          "Weekday or weekend : Weekday", "Year of growth calc: 2020", "Year of tech sel   : 2020"})
        line(l);
    line("/END/");
    line("/REGION/");
    line("Region Level       : US TOTAL");
    line("/END/");
    line("/GROWTH FILES/");
    for (int i = 0; i < 3000; ++i)
        line("Growth FILE        : c:\\data\\growth\\g" + std::to_string(i) + ".grw");
    line("/END/");
    line("/ALLOC FILES/");
    for (int i = 0; i < 3000; ++i)
        line("Allocation File    : c:\\data\\allocate\\a" + std::to_string(i) + ".alo");
    line("/END/");
    line("/POP FILES/");
    line("/END/");
    line("/EMFAC FILES/");
    line("/END/");
    return s;
}

struct Fixture {
    Fixture() : s(ui, fs, ref) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qvbench-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        dir = tmpl;
        std::ofstream(dir / "big.opt", std::ios::binary) << large_file();
        s.settings.model_dir = fs.program_path(dir.string());
        s.log.open_in_memory();
        qv::build_state_table(s.state_table);
        s.sc.option_file_dir = s.settings.model_dir;
        s.sc.option_file_name = "big.opt";
    }
    ~Fixture() { std::filesystem::remove_all(dir); }
    qv::ConsoleUi ui;
    qv::HostFileSystem fs;
    NoRowsReference ref;
    qv::Session s;
    std::filesystem::path dir;
};

void BM_ReadLargeOptionsFile(benchmark::State& state) {
    Fixture f;
    for (auto _ : state)
        qv::read_options_file(f.s);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(f.dir / "big.opt")));
}
BENCHMARK(BM_ReadLargeOptionsFile)->Unit(benchmark::kMillisecond);

void BM_SaveLargeOptionsFile(benchmark::State& state) {
    Fixture f;
    qv::read_options_file(f.s);
    f.s.sc.growth_changed = f.s.sc.alloc_files_changed = true;
    for (auto _ : state)
        qv::update_default_option_file(f.s);
}
BENCHMARK(BM_SaveLargeOptionsFile)->Unit(benchmark::kMillisecond);

}  // namespace
