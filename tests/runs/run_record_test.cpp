#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/hash/openssl_hasher.h"
#include "runs/plain_record.h"
#include "runs/recorded_run.h"
#include "runs/run_record.h"
#include "support/workspace.h"

namespace qv::runs {
namespace {

namespace fs = std::filesystem;
using test::Workspace;

std::string sha256sum(const std::string& path) {
    std::string command = "sha256sum '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    char buffer[128] = {};
    std::string text = fgets(buffer, sizeof buffer, pipe) ? buffer : "";
    pclose(pipe);
    return text.substr(0, 64);
}

// A scenario over a temporary model directory: inputs named relative to it (as the model takes
// them), one absolute, one missing, one pattern; a model, a reference database and the options
// file; results in model/outputs.
struct RecordTest : ::testing::Test {
    Workspace w;
    OpensslHasher hasher;
    fs::path root = w.dir.path();

    RecordTest() {
        Scenario& sc = w.s.sc;
        w.s.settings.model_exe = "model.exe";
        w.write("model/model.exe", "the model");
        w.write("model/reports/reports.mdb", "reference");
        w.write("model/run.opt", "/RUNFILES/\r\n/END/\r\n");
        w.set_current("model/run.opt");
        sc.title1str = "RECORDED";
        sc.run_files[rf::activity] = "DATA\\ACTIVITY.DAT";
        w.write("model/data/activity.dat", "activity 1");
        sc.run_files[rf::retrofit] = w.write("elsewhere/retro.dat", "retrofit");
        sc.run_files[rf::seasonality] = "DATA\\MISSING.DAT";
        sc.growth_files = {"DATA\\*.GRW", ""};
        sc.pop_files.add(
            std::make_shared<AllocCls>(AllocCls{"Population File    :", "DATA\\CA.POP"}),
            "DATA\\CA.POP");
        w.write("model/data/ca.pop", "population");
        sc.emfac_files[1] = "data\\co.emf";
        w.write("model/data/co.emf", "co factors");
        sc.output_dir = w.program("model/outputs");
        sc.output_file_name = "RUN.OUT";
        sc.message_dir = w.program("model/outputs");
        sc.message_file_name = "RUN.MSG";
        fs::create_directories(root / "model/outputs");
    }

    std::string record_path() const { return (root / "model/outputs/RUN.OUT.run.json").string(); }

    // One run through the recorder: the model "writes" its results while it runs.
    RunRecorder& run(int exit_status = 0, StopReason stopped = StopReason::none) {
        recorder = std::make_unique<RunRecorder>(w.fs, hasher, plan_record(w.s, "qvopt"));
        RunFacts facts;
        facts.was_started = true;
        facts.command_line = "model.exe run.opt";
        facts.started = std::chrono::system_clock::now();
        recorder->run_started(facts);
        w.write("model/outputs/RUN.OUT", "output " + std::to_string(exit_status));
        w.write("model/outputs/RUN.MSG", "messages");
        facts.ended = std::chrono::system_clock::now();
        facts.exit_status = exit_status;
        facts.stopped = stopped;
        facts.console_tail = {"line 1", "line 2"};
        recorder->run_ended(facts);
        return *recorder;
    }

    RecordStatus status() const { return check_record(record_path(), w.fs, hasher); }

    // Moves a file's time on without touching its content.
    void touch(const std::string& rel) {
        const fs::path p = root / rel;
        fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(5));
    }
    // Rewrites a file with content of the same size and gives it back its old time.
    void rewrite_keeping_size_and_time(const std::string& rel, const std::string& bytes) {
        const fs::path p = root / rel;
        const auto time = fs::last_write_time(p);
        w.dir.write(rel, bytes);
        fs::last_write_time(p, time);
    }

    std::unique_ptr<RunRecorder> recorder;
};

TEST_F(RecordTest, ARunWritesARecordWhoseHashesMatchTheFiles) {
    RunRecorder& r = run();
    ASSERT_TRUE(r.written()) << r.write_error();
    EXPECT_EQ(r.record_path(), record_path());
    const RunRecord rec = parse_record(test::read_file(record_path()));
    EXPECT_EQ(rec.title, "RECORDED");
    EXPECT_EQ(rec.exit_status, 0);
    EXPECT_EQ(rec.console_tail, (std::vector<std::string>{"line 1", "line 2"}));

    int hashed = 0;
    for (const RecordedFile* f : rec.files()) {
        if (f->kind != "file" || !f->exists)
            continue;
        EXPECT_EQ(f->sha256, sha256sum(f->path)) << f->path;
        ++hashed;
    }
    // options file, model, reference database, four inputs, two results
    EXPECT_EQ(hashed, 9);

    struct Expected {
        std::string written, path, kind;
        bool exists;
    } inputs[] = {
        {"DATA\\ACTIVITY.DAT", (root / "model/data/activity.dat").string(), "file", true},
        {"DATA\\MISSING.DAT", (root / "model/data/MISSING.DAT").string(), "file", false},
        {w.program("elsewhere/retro.dat"), (root / "elsewhere/retro.dat").string(), "file", true},
        {"DATA\\CA.POP", (root / "model/data/ca.pop").string(), "file", true},
        {"DATA\\*.GRW", "", "pattern", false},
        {"data\\co.emf", (root / "model/data/co.emf").string(), "file", true},
    };
    ASSERT_EQ(rec.inputs.size(), std::size(inputs));
    for (const auto& want : inputs) {
        auto it = std::find_if(rec.inputs.begin(), rec.inputs.end(),
                               [&](const RecordedFile& f) { return f.written == want.written; });
        ASSERT_NE(it, rec.inputs.end()) << want.written;
        if (!want.path.empty()) {
            EXPECT_EQ(it->path, want.path);
        }
        EXPECT_EQ(it->kind, want.kind) << want.written;
        EXPECT_EQ(it->exists, want.exists) << want.written;
        if (!want.exists) {
            EXPECT_TRUE(it->sha256.empty());
        }
    }
    ASSERT_EQ(rec.results.size(), 2u);
    for (const auto& f : rec.results)
        EXPECT_TRUE(f.written_by_this_run) << f.role;
    EXPECT_EQ(status().state, RecordState::up_to_date) << describe(status());
}

TEST_F(RecordTest, StatusNamesWhatChangedSinceTheRun) {
    struct Row {
        const char* what;
        std::function<void(RecordTest&)> change;
        std::string path;  // below root; empty: up to date
        std::string how;
    } rows[] = {
        {"input content and time",
         [](RecordTest& t) { t.w.dir.write("model/data/activity.dat", "activity 22"); },
         "model/data/activity.dat", "changed"},
        {"input of the same size, new time",
         [](RecordTest& t) {
             t.w.dir.write("model/data/ca.pop", "POPULATION");
             t.touch("model/data/ca.pop");
         },
         "model/data/ca.pop", "changed"},
        {"input deleted", [](RecordTest& t) { fs::remove(t.root / "model/data/co.emf"); },
         "model/data/co.emf", "deleted"},
        {"input missing at the run, created since",
         [](RecordTest& t) { t.w.dir.write("model/data/MISSING.DAT", "now here"); },
         "model/data/MISSING.DAT", "created"},
        {"options file",
         [](RecordTest& t) { t.w.dir.write("model/run.opt", "/RUNFILES/\r\n/END/\r\n\r\n"); },
         "model/run.opt", "changed"},
        {"model", [](RecordTest& t) { t.w.dir.write("model/model.exe", "the new model"); },
         "model/model.exe", "changed"},
        {"reference database",
         [](RecordTest& t) { t.w.dir.write("model/reports/reports.mdb", "reference 2"); },
         "model/reports/reports.mdb", "changed"},
        {"a touch keeps the content", [](RecordTest& t) { t.touch("model/data/activity.dat"); }, "",
         ""},
        {"a content change that kept size and time",
         [](RecordTest& t) {
             t.rewrite_keeping_size_and_time("model/data/activity.dat", "ACTIVITY 1");
         },
         "", ""},
    };
    for (const auto& row : rows) {
        run();
        row.change(*this);
        const RecordStatus st = status();
        if (row.path.empty()) {
            EXPECT_EQ(st.state, RecordState::up_to_date) << row.what << ": " << describe(st);
            continue;
        }
        EXPECT_EQ(st.state, RecordState::out_of_date) << row.what;
        ASSERT_EQ(st.changed.size(), 1u) << row.what << ": " << describe(st);
        EXPECT_EQ(st.changed[0].path, (root / row.path).string()) << row.what;
        EXPECT_EQ(st.changed[0].change, row.how) << row.what;
        EXPECT_NE(describe(st).find((root / row.path).string()), std::string::npos);
        // Back as it was for the next row.
        fs::remove(root / "model/data/MISSING.DAT");
        w.dir.write("model/data/activity.dat", "activity 1");
        w.dir.write("model/data/ca.pop", "population");
        w.dir.write("model/data/co.emf", "co factors");
        w.dir.write("model/run.opt", "/RUNFILES/\r\n/END/\r\n");
        w.dir.write("model/model.exe", "the model");
        w.dir.write("model/reports/reports.mdb", "reference");
    }
}

TEST_F(RecordTest, TheRecordKeepsTheOptionsTextByteForByteUpToOneMebibyte) {
    const std::string latin1 = "/OPTIONS/\r\nTitle 1            : Caf\xe9 \x80\r\n/END/\r\n";
    const std::string big(options_copy_cap + 10, 'x');
    const struct {
        std::string text;
        std::string kept;
        bool cut;
    } rows[] = {
        {"/RUNFILES/\r\n/END/\r\n", "/RUNFILES/\r\n/END/\r\n", false},
        {"Title 1 : Caf\xc3\xa9\r\n", "Title 1 : Caf\xc3\xa9\r\n", false},
        {latin1, latin1, false},
        {big, big.substr(0, options_copy_cap), true},
    };
    for (const auto& r : rows) {
        w.write("model/run.opt", r.text);
        ASSERT_TRUE(run().written());
        const RunRecord rec = parse_record(test::read_file(record_path()));
        ASSERT_TRUE(rec.options_copy) << r.text.size();
        EXPECT_EQ(rec.options_copy->text, r.kept);
        EXPECT_EQ(rec.options_copy->cut, r.cut);
    }
}

// The record of scenario "RUN.OUT" is found whatever case the output and the record have on
// disk, and a new record takes the output's name as the model wrote it.
TEST_F(RecordTest, TheRecordIsFoundWhateverItsCase) {
    const struct {
        const char* output;  // on disk, or null
        const char* record;  // on disk, or null
        const char* found;
    } cases[] = {
        {"run.out", "RUN.OUT.run.json", "RUN.OUT.run.json"},
        {"run.out", "run.out.run.json", "run.out.run.json"},
        {nullptr, "Run.Out.run.json", "Run.Out.run.json"},
        {"run.out", nullptr, "run.out.run.json"},
        {nullptr, nullptr, "RUN.OUT.run.json"},
    };
    const fs::path outputs = root / "model/outputs";
    for (const auto& c : cases) {
        fs::remove_all(outputs);
        fs::create_directories(outputs);
        if (c.output)
            w.dir.write(std::string("model/outputs/") + c.output, "output");
        if (c.record)
            w.dir.write(std::string("model/outputs/") + c.record, "{}");
        EXPECT_EQ(record_path_of(w.s), (outputs / c.found).string())
            << (c.output ? c.output : "-") << " " << (c.record ? c.record : "-");
    }
}

TEST_F(RecordTest, VerifyCatchesAContentChangeThatKeptSizeAndTime) {
    run();
    EXPECT_TRUE(verify_record(record_path(), w.fs, hasher).changed.empty());
    rewrite_keeping_size_and_time("model/data/activity.dat", "ACTIVITY 1");
    EXPECT_EQ(check_record(record_path(), w.fs, hasher).state, RecordState::up_to_date);
    const RecordStatus st = verify_record(record_path(), w.fs, hasher);
    ASSERT_EQ(st.changed.size(), 1u);
    EXPECT_EQ(st.changed[0].path, (root / "model/data/activity.dat").string());
}

TEST_F(RecordTest, AFailedRunIsRecordedAsFailed) {
    struct Row {
        int exit;
        StopReason stopped;
        std::string why;
    } rows[] = {{3, StopReason::none, "exit status 3"},
                {143, StopReason::user, "exit status 143, stopped by the user"}};
    for (const auto& row : rows) {
        ASSERT_TRUE(run(row.exit, row.stopped).written());
        const RecordStatus st = status();
        EXPECT_EQ(st.state, RecordState::failed);
        EXPECT_EQ(describe(st), "failed last run: " + row.why);
    }
}

TEST_F(RecordTest, ARecordThatCannotBeWrittenIsReportedAndThrowsNothing) {
    // A directory where the record belongs: the rename over it fails.
    fs::create_directories(record_path());
    RunRecorder& r = run();
    EXPECT_FALSE(r.written());
    EXPECT_NE(r.write_error().find("could not be written"), std::string::npos) << r.write_error();
    EXPECT_TRUE(fs::is_directory(record_path()));
    EXPECT_EQ(test::read_file(root / "model/outputs/RUN.OUT"), "output 0");
}

TEST_F(RecordTest, UnreadableRecordsSayWhy) {
    run();
    const std::string good = test::read_file(record_path());
    struct Row {
        std::string text, why;
    } rows[] = {
        {"{ not json", "not JSON"},
        {"[1, 2]", "not a JSON object"},
        {R"({"format": "qv-run-record/2"})", "format qv-run-record/2, not qv-run-record/1"},
        {R"({"format": [1]})", "format [1], not qv-run-record/1"},
        {R"({"format": "qv-run-record/1", "program": {}})", "a field is missing"},
        {"", "not JSON"},
    };
    for (const auto& row : rows) {
        w.dir.write("model/outputs/RUN.OUT.run.json", row.text);
        const RecordStatus st = status();
        EXPECT_EQ(st.state, RecordState::unreadable) << row.text;
        EXPECT_EQ(st.why.rfind(row.why, 0), 0u) << st.why;
        EXPECT_EQ(describe(st).rfind("record unreadable: " + row.why, 0), 0u);
    }
    fs::remove(record_path());
    EXPECT_EQ(describe(status()), "never run");
    // A record whose files are all gone is still read: every one of them changed.
    w.dir.write("model/outputs/RUN.OUT.run.json", good);
    fs::remove_all(root / "model/data");
    const RecordStatus st = status();
    EXPECT_EQ(st.state, RecordState::out_of_date);
    EXPECT_EQ(st.changed.size(), 3u) << describe(st);
}

// Replaces the first `"KEY": value` of a record's text with ENTRY.
std::string with_entry(std::string text, const std::string& key, const std::string& entry) {
    const std::size_t at = text.find("\"" + key + "\": ");
    if (at == std::string::npos)
        return "(no " + key + ")";
    const std::size_t end = text.find_first_of(",\n", at);
    return text.replace(at, end - at, entry);
}

TEST_F(RecordTest, NumbersOutOfRangeMakeTheRecordUnreadable) {
    run();
    const std::string good = test::read_file(record_path());
    const struct {
        std::string key, entry, why;  // why: empty when the record still reads
    } rows[] = {
        {"status", R"("status": 4294967296)", "exit status out of range"},
        {"status", R"("status": -4294967296)", "exit status out of range"},
        {"status", R"("status": 0.5)", "exit status out of range"},
        {"status", R"("status": 4294967303)", "exit status out of range"},
        {"status", R"("status": 1e10)", "exit status out of range"},
        {"status", R"("status": 256)", "exit status out of range"},
        {"status", R"("status": 255)", ""},
        {"status", R"("signal": 4294967305)", "exit signal out of range"},
        {"mtime_ns", R"("mtime_ns": 1e300)", "mtime_ns out of range"},
        {"mtime_ns", R"("mtime_ns": 9223372036854775808)", "mtime_ns out of range"},
        {"size", R"("size": -1)", "size out of range"},
        {"stopped", R"("stopped": 5)", "stopped out of range"},
        {"stopped", R"("stopped": "")", "stopped out of range"},
    };
    for (const auto& row : rows) {
        w.dir.write("model/outputs/RUN.OUT.run.json", with_entry(good, row.key, row.entry));
        const RecordStatus st = status();
        if (row.why.empty()) {
            EXPECT_EQ(describe(st), "failed last run: exit status 255") << row.entry;
            continue;
        }
        EXPECT_EQ(st.state, RecordState::unreadable) << row.entry;
        EXPECT_EQ(describe(st), "record unreadable: " + row.why) << row.entry;
    }
}

// TEXT with its first FROM replaced by TO.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? "(no " + from + ")" : text.replace(at, from.size(), to);
}

// A reading as JSON text, or the reason it was refused.
std::string outcome(RunRecord (*read)(std::string_view), const std::string& text) {
    try {
        return record_json(read(text));
    } catch (const RecordError& e) {
        return std::string("refused: ") + e.what();
    }
}

// What a check of the record against the disk reads of it: every file's facts and how the run
// ended, as text; or the reason it was refused.
std::string checked_part(RunRecord (*read)(std::string_view), const std::string& text) {
    RunRecord r;
    try {
        r = read(text);
    } catch (const RecordError& e) {
        return std::string("refused: ") + e.what();
    }
    std::ostringstream out;
    for (const RecordedFile* f : r.files())
        out << f->role << '|' << f->path << '|' << f->kind << '|' << f->exists << '|' << f->size
            << '|' << f->mtime_ns << '|' << f->sha256 << '|' << f->not_hashed << '|'
            << f->written_by_this_run << '\n';
    out << r.started_ms << '|' << r.ended_ms << '|' << r.exit_status.value_or(-1) << '|'
        << r.signal.value_or(-1) << '|' << stop_reason_word(r.stopped) << '|' << r.failure;
    return out.str();
}

// Records are read in one quick pass where they have the form this program writes; any record
// reads as the full parse reads it: the same fields, or the same refusal. The reading for a
// check has every field the check compares, and refuses what the full parse refuses.
TEST_F(RecordTest, TheQuickReadingOfARecordIsTheFullParse) {
    run();
    const std::string good = test::read_file(record_path());
    const struct {
        const char* name;
        std::string text;
        bool plain;
    } rows[] = {
        {"as written", good, true},
        {"exit status 255", with_entry(good, "status", R"("status": 255)"), true},
        {"signal", with_entry(good, "status", R"("signal": 9)"), true},
        {"exit status 256", with_entry(good, "status", R"("status": 256)"), false},
        {"exit status 256", with_entry(good, "status", R"("status": 256)"), false},
        {"stopped", with_entry(good, "stopped", R"("stopped": "user")"), true},
        {"stopped unknown", with_entry(good, "stopped", R"("stopped": "nonsense")"), false},
        {"stopped number", with_entry(good, "stopped", R"("stopped": 5)"), false},
        {"no exit", replaced(good, R"("exit": {)", R"("exit": null, "was": {)"), true},
        {"time only", with_entry(good, "mtime_ns", R"("mtime_ns_was": 0)"), true},
        {"latin-1 text", with_entry(good, "encoding", R"("encoding": "latin-1")"), true},
        {"other encoding", with_entry(good, "encoding", R"("encoding": "utf-16")"), false},
        {"fraction", with_entry(good, "size", R"("size": 1.5)"), false},
        {"negative", with_entry(good, "size", R"("size": -1)"), false},
        {"past 64 bits", with_entry(good, "size", R"("size": 18446744073709551616)"), false},
        {"number for flag", with_entry(good, "exists", R"("exists": 1)"), false},
        {"two sizes of a file", with_entry(good, "size", R"("size": 1, "size": 1)"), false},
        {"an unknown key twice", with_entry(good, "size", R"("size": 1, "x": 1, "x": 2)"), true},
        {"two formats", replaced(good, R"("format": )", R"("format": "x", "format": )"), false},
        {"non-ASCII", with_entry(good, "title", "\"title\": \"caf\xC3\xA9\""), false},
        {"unicode escape", with_entry(good, "title", R"("title": "\u0041B")"), false},
        {"non-ASCII far in",
         with_entry(good, "title", "\"title\": \"abcdefghijklmnopqrstuvwxyz\xC3\xA9 and more\""),
         false},
        {"raw tab far in", with_entry(good, "title", "\"title\": \"abcdefghijklmnop\tqrstuvwxyz\""),
         false},
        {"escapes far in",
         with_entry(good, "title", R"("title": "abcdefghijklmnop\\q\"rstuvwxyz\/0123456789")"),
         true},
        {"escaped key", replaced(good, R"("host")", R"("ho\u0073t")"), false},
        {"program not object", replaced(good, R"("program": {)", R"("program": 7, "was": {)"),
         false},
        {"tail not text", replaced(good, R"("line 1")", "1"), false},
        {"byte order mark", "\xEF\xBB\xBF" + good, false},
        {"trailing brace", good + "}", false},
        {"cut short", good.substr(0, good.size() / 2), false},
        {"empty", "", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(read_plain_record(row.text).has_value(), row.plain) << row.name;
        EXPECT_EQ(outcome(read_record, row.text), outcome(parse_record, row.text)) << row.name;
        EXPECT_EQ(checked_part(read_record_for_check, row.text),
                  checked_part(parse_record, row.text))
            << row.name;
    }
}

TEST_F(RecordTest, RecordedRunKeepsTheLastLinesAndRecordsARunThatNeverStarted) {
    {
        RecordedRun recorded(w.s, hasher, "qv-gui");
        recorded.started("model.exe run.opt", w.program("model"));
        for (int i = 0; i < 60; ++i)
            recorded.output("line " + std::to_string(i));
        EXPECT_EQ(recorded.ended(0, StopReason::none, ""), "");
    }
    RunRecord rec = parse_record(test::read_file(record_path()));
    ASSERT_EQ(rec.console_tail.size(), console_tail_lines);
    EXPECT_EQ(rec.console_tail.front(), "line 10");
    EXPECT_EQ(rec.program_name, "qv-gui");

    {
        RecordedRun recorded(w.s, hasher, "qv-gui");
        EXPECT_EQ(recorded.ended(std::nullopt, StopReason::none,
                                 "the model could not be started (error 53)"),
                  "");
    }
    rec = parse_record(test::read_file(record_path()));
    EXPECT_FALSE(rec.exit_status);
    EXPECT_EQ(describe(status()), "failed last run: the model could not be started (error 53)");
}

TEST(RecordText, TimesAndChangeLists) {
    EXPECT_EQ(iso_utc(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(iso_utc(1796803502123), "2026-12-09T08:05:02.123Z");
    std::vector<ChangedFile> changed = {{"input", "/a", "changed"},
                                        {"model", "/m", "deleted"},
                                        {"input", "/b", "created"},
                                        {"input", "/c", "changed"}};
    EXPECT_EQ(list_changes({changed.begin(), changed.begin() + 1}, 3), "input /a changed");
    EXPECT_EQ(list_changes({changed.begin(), changed.begin() + 2}, 3),
              "input /a changed and model /m deleted");
    EXPECT_EQ(list_changes(changed, 3),
              "input /a changed, model /m deleted, input /b created and 1 more");
}

// The record as the serializer alone writes it, the last lines included.
std::string serialized_whole(const RunRecord& r) {
    RunRecord without = r;
    without.console_tail.clear();
    auto j = nlohmann::ordered_json::parse(record_json(without));
    j["console_tail"] = r.console_tail;
    std::string text;
    nlohmann::detail::serializer<nlohmann::ordered_json> out(
        nlohmann::detail::output_adapter<char, std::string>(text), ' ',
        nlohmann::json::error_handler_t::replace);
    out.dump(j, true, false, 2);
    return text + '\n';
}

TEST(RecordJsonTest, TheLastLinesAreWrittenAsTheSerializerWritesThem) {
    const std::vector<std::vector<std::string>> tails = {
        {"plain"},
        {"", "two", ""},
        {"a \"quoted\" \\ path", "tab\there", "bell\x07 del\x7f", std::string("nul\0in", 6)},
        {"caf\xc3\xa9 \xe2\x82\xac", "cut \xc3", "stray \xff\xfe byte", "\xe2\x82"},
        {"  \"console_tail\": []", std::string(70000, 'x')},
    };
    for (const auto& tail : tails)
        for (bool with_copy : {false, true}) {
            RunRecord r;
            r.title = "\n  \"console_tail\": []";
            if (with_copy)
                r.options_copy = OptionsCopy{"/OPTIONS/\r\n  \"console_tail\": []\r\n", false};
            r.console_tail = tail;
            EXPECT_EQ(record_json(r), serialized_whole(r)) << tail.front() << ' ' << with_copy;
        }
}

}  // namespace
}  // namespace qv::runs
