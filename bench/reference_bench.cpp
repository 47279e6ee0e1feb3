#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/reference/sqlite_reference_engine.h"

namespace {

const std::string demo_db = QV_BINARY_DIR "/examples/demo/model/reports/reports.mdb";
const std::string nwind = QV_SHARED_DIR "/testdata/access/nwind.mdb";

std::vector<std::string> all_county_codes() {
    qv::SqliteReferenceEngine engine;
    engine.open(demo_db);
    std::vector<std::string> codes;
    qv::QueryResult r =
        engine.query("SELECT FIPS FROM Counties WHERE COUNTY NOT LIKE \"The State*\"");
    for (const auto& row : r.rows)
        codes.push_back(*row[0]);
    return codes;
}

// One region-validation task: open, one county query per code, close.
void BM_ValidateEveryCounty(benchmark::State& state) {
    std::vector<std::string> codes = all_county_codes();
    for (auto _ : state) {
        qv::SqliteReferenceEngine engine;
        engine.open(demo_db);
        std::size_t found = 0;
        for (const std::string& code : codes) {
            found +=
                engine
                    .query("SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=" +
                           qv::access_literal(code) + ");")
                    .rows.size();
        }
        engine.close();
        if (found != codes.size())
            state.SkipWithError("a county was not found");
    }
    state.counters["codes"] = static_cast<double>(codes.size());
}
BENCHMARK(BM_ValidateEveryCounty)->Unit(benchmark::kMillisecond);

// One source-reader task with 500 codes (those of the table, then unknown ones).
void BM_ValidateSources(benchmark::State& state) {
    qv::SqliteReferenceEngine probe;
    probe.open(demo_db);
    std::vector<std::string> codes;
    for (const auto& row : probe.query("SELECT SCC FROM [Equipment Types]").rows)
        codes.push_back(*row[0]);
    for (int i = 0; codes.size() < 500; ++i)
        codes.push_back("22990" + std::to_string(10000 + i));
    for (auto _ : state) {
        qv::SqliteReferenceEngine engine;
        engine.open(demo_db);
        for (const std::string& code : codes)
            benchmark::DoNotOptimize(engine.query(
                "SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment "
                "Types].[Engine "
                "Type], [Equipment Types].Classification FROM [Equipment Types] WHERE (SCC=" +
                qv::access_literal(code) + ");"));
        engine.close();
    }
}
BENCHMARK(BM_ValidateSources)->Unit(benchmark::kMillisecond);

void BM_CountiesOfAState(benchmark::State& state) {
    qv::SqliteReferenceEngine engine;
    engine.open(demo_db);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            engine.query("SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties "
                         "WHERE((Counties.FIPS like \"48###\") "
                         "AND (Counties.COUNTY not like \"The State*\"));"));
}
BENCHMARK(BM_CountiesOfAState)->Unit(benchmark::kMicrosecond);

void BM_OpenNwind(benchmark::State& state) {
    if (!std::filesystem::exists(nwind)) {
        state.SkipWithError("missing nwind.mdb");
        return;
    }
    for (auto _ : state) {
        qv::SqliteReferenceEngine engine;
        engine.open(nwind);
    }
}
BENCHMARK(BM_OpenNwind)->Unit(benchmark::kMillisecond);

// The largest table of nwind.mdb, Order Details, read whole.
void BM_QueryNwindLargestTable(benchmark::State& state) {
    if (!std::filesystem::exists(nwind)) {
        state.SkipWithError("missing nwind.mdb");
        return;
    }
    qv::SqliteReferenceEngine engine;
    engine.open(nwind);
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.query("SELECT * FROM [Order Details]"));
}
BENCHMARK(BM_QueryNwindLargestTable)->Unit(benchmark::kMillisecond);

}  // namespace
