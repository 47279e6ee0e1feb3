// Reading an options file whose region lists every county (level COUNTY) and whose source
// packet lists 500 codes, validated against the demo reference database; and the same bytes
// read with validation answered by a database that knows everything. At size k the source
// packet lists k x 500 codes, and the region as many codes again (k - 1) times, of known states
// but missing from the county table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/console/console_ui.h"
#include "platform/fs/host_file_system.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/line_io.h"
#include "scenario/options_file.h"
#include "scenario/session.h"
#include "scenario/state_table.h"

namespace {

const std::filesystem::path demo_model =
    std::filesystem::path(QV_BINARY_DIR) / "examples/demo/model";

std::vector<std::string> csv_column(const std::filesystem::path& file, int column) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    std::vector<std::string> values;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string cell;
        for (int i = 0; i <= column && std::getline(ss, cell, ','); ++i) {
        }
        values.push_back(cell);
    }
    return values;
}

std::string big_file(int scale) {
    std::string s =
        "/RUNFILES/\r\nMESSAGE            : x.msg\r\nOUTPUT DATA        : x.out\r\n/END/\r\n"
        "/OPTIONS/\r\nTitle 1            : t\r\nTitle 2            :\r\n"
        "Fuel RVP for gas   : 9\r\nOxygen Weight %    : 0\r\n/END/\r\n"
        "/PERIOD/\r\nPeriod type        : Annual\r\nSummation type     : Typical day\r\n"
        "Year of episode    : 2020\r\nSeason of year     :\r\nMonth of year      :\r\n"
        "Weekday or weekend : Weekday\r\nYear of growth calc: 2020\r\n"
        "Year of tech sel   : 2020\r\n/END/\r\n"
        "/ALLOC FILES/\r\n/END/\r\n/POP FILES/\r\n/END/\r\n/EMFAC FILES/\r\n/END/\r\n"
        "/REGION/\r\nRegion Level       : COUNTY\r\n";
    auto src = std::filesystem::path(QV_SOURCE_DIR) / "examples/demo/reference";
    std::ifstream in(src / "fips-counties.csv");
    std::string line;
    std::getline(in, line);
    std::set<std::string> held, states;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string state, statefp, countyfp;
        std::getline(ss, state, ',');
        std::getline(ss, statefp, ',');
        std::getline(ss, countyfp, ',');
        // Territories outside the state table would stop the validation at their first code.
        if (statefp == "60" || statefp == "66" || statefp == "69" || statefp == "74")
            continue;
        s += "County             : " + statefp + countyfp + "\r\n";
        held.insert(statefp + countyfp);
        states.insert(statefp);
    }
    std::size_t extra = static_cast<std::size_t>(scale - 1) * held.size();
    for (const std::string& state : states)
        for (int c = 1; c <= 999 && extra > 0; ++c) {
            char code[8];
            std::snprintf(code, sizeof code, "%s%03d", state.c_str(), c);
            if (held.count(code) == 0) {
                s += std::string("County             : ") + code + "\r\n";
                --extra;
            }
        }
    s += "/END/\r\n/SOURCE CATEGORY/\r\n";
    auto sccs = csv_column(src / "equipment-types.csv", 0);
    for (int i = 0; i < 500 * scale; ++i)
        s += std::string(19, ' ') + ":" + sccs[static_cast<std::size_t>(i) % sccs.size()] + "\r\n";
    return s + "/END/\r\n";
}

// Knows every code without a database: the reader's own work, without the look-ups.
class KnowsEverything : public qv::ReferenceEngine {
  public:
    void open(const std::string&) override {}
    void close() override {}
    bool is_open() const override { return false; }
    qv::QueryResult query(std::string_view sql) override {
        std::size_t a = sql.find('"'), b = sql.find('"', a + 1);
        std::string code(sql.substr(a + 1, b - a - 1));
        qv::QueryResult r;
        r.columns = {"COUNTY", "SCC", "EQUIP", "CLASSIFICATION", "Engine Type"};
        r.rows.push_back({"County", code, "Equip", "Class", "Diesel"});
        return r;
    }
};

void run(benchmark::State& state, qv::ReferenceEngine& ref) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qvbench-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        std::abort();
    std::filesystem::path dir = tmpl;
    std::ofstream(dir / "big.opt", std::ios::binary) << big_file(static_cast<int>(state.range(0)));
    qv::ConsoleUi ui;
    qv::HostFileSystem fs;
    qv::Session s(ui, fs, ref);
    s.settings.model_dir = fs.program_path(demo_model.string());
    s.log.open_in_memory();
    qv::build_state_table(s.state_table);
    s.sc.option_file_dir = fs.program_path(dir.string());
    s.sc.option_file_name = "big.opt";
    for (auto _ : state)
        qv::read_options_file(s);
    state.counters["regions"] = static_cast<double>(s.sc.region_list.size());
    state.counters["sources"] = static_cast<double>(s.sc.source_list.size()) - 1;
    std::filesystem::remove_all(dir);
}

void BM_ValidatedRead(benchmark::State& state) {
    auto ref = qv::make_reference_engine();
    run(state, *ref);
}
BENCHMARK(BM_ValidatedRead)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_ReadWithoutValidation(benchmark::State& state) {
    KnowsEverything ref;
    run(state, ref);
}
BENCHMARK(BM_ReadWithoutValidation)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
