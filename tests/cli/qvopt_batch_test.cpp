#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/qvopt.h"
#include "platform/hash/openssl_hasher.h"
#include "support/option_texts.h"
#include "support/spawn.h"
#include "support/temp_dir.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A stand-in model: notes when it starts and ends, fails for a scenario titled FAIL, writes
// nothing for one titled NOFILES, and else writes the message and output files that a Save as
// into the batch directory names. Meanwhile a process it started in a session of its own runs.
constexpr const char* stand_in = R"SH(#!/bin/sh
base="$(dirname "$1")/$(basename "$1" .opt | tr A-Z a-z)"
echo $$ > "$base.pid"
date +%s.%N > "$base.start"
echo "model started on $1"
if grep -q "FAIL" "$1"; then echo "bad scenario"; exit 3; fi
if grep -q "NOFILES" "$1"; then exit 0; fi
setsid sleep "${QV_STAND_IN_SECONDS:-1}" &
echo $! > "$base.detached"
sleep "${QV_STAND_IN_SECONDS:-1}" &
echo $! > "$base.child"
wait $!
echo msg > "$base.msg"
echo out > "$base.out"
date +%s.%N > "$base.end"
echo "Run completed"
)SH";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        // The writer pads an empty value with a blank where the template may not.
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The lines of one packet, from its name to its "/END/".
std::vector<std::string> packet(const std::string& text, const std::string& name) {
    return test::fixture::packet_lines(lines_of(text), name);
}

class QvoptBatch : public ::testing::Test {
  protected:
    void SetUp() override {
        start_dir_ = fs::current_path();
        // Folders with capitals: the paths written for the model must keep them.
        model_ = dir_.path() / "Upper Case WS" / "Model";
        test::copy_demo_model(model_);
        std::ofstream(model_ / "stand-in.sh") << stand_in;
        fs::permissions(model_ / "stand-in.sh", fs::perms::owner_all);
        batch_ = dir_.path() / "Upper Case WS" / "Batch";
    }
    void TearDown() override { fs::current_path(start_dir_); }

    std::vector<std::string> common() const {
        return {
            "qvopt",       "--model-dir", model_.string(), "--data-dir", (model_ / "data").string(),
            "--model-exe", "stand-in.sh"};
    }
    int qvopt(std::vector<std::string> args) {
        std::vector<std::string> all = common();
        all.insert(all.end(), args.begin(), args.end());
        out_.str("");
        err_.str("");
        const int status = run_qvopt(all, out_, err_);
        fs::current_path(start_dir_);
        return status;
    }
    std::string read(const fs::path& p) const { return test::read_file(p); }
    // The real qvopt with the common options, ARGS and the environment ENV (PATH added), its
    // output and errors in LOG.
    pid_t spawn_qvopt(const std::vector<std::string>& words, std::vector<std::string> env,
                      const std::string& log) const {
        std::vector<std::string> args = common();
        args[0] = QV_BINARY_DIR "/qvopt";
        args.insert(args.end(), words.begin(), words.end());
        env.push_back("PATH=/usr/bin:/bin");
        const pid_t pid = test::spawn(args, log, {}, env);
        EXPECT_NE(pid, 0);
        return pid;
    }
    // The pids the stand-in noted in files of the batch directory with EXTENSION.
    std::vector<pid_t> noted(const std::string& extension) const {
        std::vector<pid_t> pids;
        for (const auto& e : fs::directory_iterator(batch_))
            if (e.path().extension() == extension && fs::file_size(e.path()) > 0)
                pids.push_back(std::stoi(test::read_file(e.path())));
        return pids;
    }
    // A file of the batch directory by its name in any letter case.
    std::string read_any_case(const std::string& name) const {
        for (const auto& e : fs::directory_iterator(batch_)) {
            std::string n = e.path().filename().string();
            for (char& c : n)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (n == name)
                return test::read_file(e.path());
        }
        return "(" + name + " missing)";
    }

    fs::path start_dir_;
    test::TempDir dir_;
    fs::path model_, batch_;
    std::ostringstream out_, err_;
};

TEST_F(QvoptBatch, MakeWritesOneSaveAsPerCombinationAndTheCampaign) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "nv,OR", "--years", "2020,2030"}),
              0)
        << out_.str() << err_.str();
    EXPECT_EQ(read(batch_ / "campaign.txt"),
              "# made by qvopt batch make from " + (model_ / "demo.opt").string() +
                  "\n"
                  "# state NV (Nevada), episode year 2020\nNV2020.opt\n"
                  "# state NV (Nevada), episode year 2030\nNV2030.opt\n"
                  "# state OR (Oregon), episode year 2020\nOR2020.opt\n"
                  "# state OR (Oregon), episode year 2030\nOR2030.opt\n");

    const std::string tmpl = read(model_ / "demo.opt");
    const std::string nv = read(batch_ / "NV2030.opt");
    // Lines outside packets and the packets not varied stay as the template has them.
    EXPECT_NE(nv.find("* Lines outside packets, like these, are kept"), std::string::npos);
    for (const char* same : {"/SOURCE CATEGORY/", "/GROWTH FILES/", "/EMFAC FILES/"})
        EXPECT_EQ(packet(nv, same), packet(tmpl, same)) << same;
    // Title 2 says what the variant varies; the packet is written as the Options window's OK
    // writes it (the titles in capitals).
    auto options = packet(tmpl, "/OPTIONS/");
    for (auto& line : options) {
        if (line.rfind("Title 1", 0) == 0)
            line = "Title 1            : DEMO SCENARIO";
        if (line.rfind("Title 2", 0) == 0)
            line = "Title 2            : NV 2030";
    }
    EXPECT_EQ(packet(nv, "/OPTIONS/"), options);
    auto period = packet(tmpl, "/PERIOD/");
    for (auto& line : period)
        if (line.rfind("Year of episode", 0) == 0)
            line = "Year of episode    : 2030";
    EXPECT_EQ(packet(nv, "/PERIOD/"), period);
    EXPECT_EQ(packet(nv, "/REGION/"),
              (std::vector<std::string>{"/REGION/", "Region Level       : STATE",
                                        "Nevada             : 32000", "/END/"}));
    EXPECT_EQ(
        packet(nv, "/ALLOC FILES/"),
        (std::vector<std::string>{
            "/ALLOC FILES/",
            "Census population  :" + (model_ / "data/ALLOCATE/nv_pop.alo").string(), "/END/"}));
    EXPECT_EQ(packet(nv, "/POP FILES/"),
              (std::vector<std::string>{
                  "/POP FILES/", "Population File    : " + (model_ / "data/POP/nv.pop").string(),
                  "/END/"}));
    // The Save as rule names the message and output files after the new file.
    const auto runfiles = packet(nv, "/RUNFILES/");
    for (const std::string& line :
         std::vector<std::string>{"MESSAGE            : " + (batch_ / "nv2030.msg").string(),
                                  "OUTPUT DATA        : " + (batch_ / "nv2030.out").string()})
        EXPECT_NE(std::find(runfiles.begin(), runfiles.end(), line), runfiles.end()) << line;
}

TEST_F(QvoptBatch, MakeGivesOneCountyLevelFilePerCountyOfTheReferenceDatabase) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--each-county", "NV"}),
              0)
        << out_.str() << err_.str();
    const std::string list = read(batch_ / "campaign.txt");
    EXPECT_NE(list.find("# county Clark County NV (32003)\n32003.opt\n"), std::string::npos)
        << list;
    EXPECT_NE(list.find("# county Carson City NV (32510)\n32510.opt\n"), std::string::npos);
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(batch_))
        files += e.path().extension() == ".opt";
    EXPECT_EQ(files, 17u);
    EXPECT_EQ(packet(read(batch_ / "32003.opt"), "/REGION/"),
              (std::vector<std::string>{"/REGION/", "Region Level       : COUNTY",
                                        "Clark County NV    : 32003", "/END/"}));
    const auto options = packet(read(batch_ / "32003.opt"), "/OPTIONS/");
    EXPECT_NE(std::find(options.begin(), options.end(), "Title 2            : Clark County NV"),
              options.end());
}

// A Title 2 given with --set is the variants' own.
TEST_F(QvoptBatch, MakeKeepsATitleTwoGivenWithSet) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV", "--set", "title2str=Mine"}),
              0)
        << err_.str();
    const auto options = packet(read_any_case("nvmine.opt"), "/OPTIONS/");
    EXPECT_NE(std::find(options.begin(), options.end(), "Title 2            : Mine"),
              options.end());
}

TEST_F(QvoptBatch, MakeRefusesBadValuesBeforeWritingAnything) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--years", "2020,1969"}, 1, "Episode year 1969 is outside allowed range 1970-2050."},
        {{"--years", "20x"}, 1, "Episode year must be numeric and in the range 1970-2050."},
        {{"--states", "NV,XX"}, 1, "XX is not a state abbreviation"},
        {{"--states", "NV,nv"}, 1, "Nevada already selected"},
        {{"--each-county", "ZZ"}, 1, "ZZ is not a state abbreviation"},
        {{"--set", "no_such_field=1"}, 2, "no_such_field"},
        {{"--set", "fulrvpstr=9,99"}, 1, "Invalid 6 to 16"},
        {{"--set", "growth_files[0]=gone.grw"}, 1, "gone.grw does not exist."},
        {{}, 2, "nothing to vary"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args{"batch", "make", (model_ / "demo.opt").string(), "--out",
                                      batch_.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(qvopt(args), c.status);
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
        EXPECT_FALSE(fs::exists(batch_));
    }
}

TEST_F(QvoptBatch, MakeOverwritesOnlyWithForce) {
    fs::create_directories(batch_);
    std::ofstream(batch_ / "NV2020.opt") << "mine";
    const std::vector<std::string> args{"batch", "make",          (model_ / "demo.opt").string(),
                                        "--out", batch_.string(), "--states",
                                        "NV",    "--years",       "2020"};
    EXPECT_EQ(qvopt(args), 1);
    EXPECT_NE(err_.str().find("NV2020.opt exists; give --force"), std::string::npos) << err_.str();
    EXPECT_EQ(read(batch_ / "NV2020.opt"), "mine");
    EXPECT_FALSE(fs::exists(batch_ / "campaign.txt"));
    auto forced = args;
    forced.push_back("--force");
    EXPECT_EQ(qvopt(forced), 0) << err_.str();
    EXPECT_NE(read(batch_ / "NV2020.opt").find("/REGION/"), std::string::npos);
}

// Start and end times of each run the stand-in noted.
std::vector<std::pair<double, double>> run_times(const fs::path& dir) {
    std::vector<std::pair<double, double>> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".start") {
            auto end = e.path();
            end.replace_extension(".end");
            if (!fs::exists(end))
                continue;  // a run that failed at once
            out.emplace_back(std::stod(test::read_file(e.path())), std::stod(test::read_file(end)));
        }
    return out;
}

TEST_F(QvoptBatch, RunRunsTwoAtATimeAndAFailedRunLeavesTheOthersAlone) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV,OR", "--set", "title1str=OK,FAIL,GOOD"}),
              0)
        << err_.str();
    EXPECT_EQ(qvopt({"batch", "run", (batch_ / "campaign.txt").string(), "-j", "2"}), 6)
        << out_.str() << err_.str();

    // Four one-second runs, two at a time: never more than two at once, and two at once at some
    // point (the run times overlap), however slow the machine.
    const auto times = run_times(batch_);
    ASSERT_EQ(times.size(), 4u);
    int most = 0;
    for (const auto& [start, end] : times) {
        int at_once = 0;
        for (const auto& [s, e] : times)
            at_once += s <= start && start < e;
        most = std::max(most, at_once);
    }
    EXPECT_EQ(most, 2);

    const std::string table = out_.str();
    for (const char* row : {"NVOK.opt ", "NVGOOD.opt", "OROK.opt", "ORGOOD.opt"})
        EXPECT_NE(table.find(std::string(row)), std::string::npos) << row;
    EXPECT_NE(table.find("NVFAIL.opt: failed"), std::string::npos) << table;
    EXPECT_NE(table.find("ORGOOD.opt: succeeded"), std::string::npos) << table;
    EXPECT_NE(table.find("exit status 3"), std::string::npos) << table;
    // Each run's console output is kept beside its output data file.
    EXPECT_NE(read_any_case("nvfail.out.log").find("bad scenario"), std::string::npos);
    EXPECT_NE(read_any_case("orok.out.log").find("Run completed"), std::string::npos);
    EXPECT_FALSE(fs::exists(model_ / "quarvel.bat"));
}

// Scenarios in two folders, named relative to a list that is named relative to where qvopt
// starts, as the model directory is: two at a time they are read, saved, run and recorded as
// one at a time, each where it is, and qvopt stays where it started.
TEST_F(QvoptBatch, RunTwoAtATimeGivesWhatOneAtATimeGives) {
    for (const char* folder : {"One", "Two"})
        ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out",
                         (batch_ / folder).string(), "--states", "NV,OR,WA"}),
                  0);
    std::ofstream(batch_ / "campaign.txt") << "One/NV.opt\nTwo/NV.opt\nOne/OR.opt\nTwo/OR.opt\n"
                                              "One/WA.opt\nTwo/WA.opt\n";
    setenv("QV_STAND_IN_SECONDS", "0", 1);
    auto run = [&](const char* jobs) {
        fs::current_path(batch_.parent_path());
        out_.str("");
        EXPECT_EQ(
            run_qvopt({"qvopt", "--model-dir", "Model", "--data-dir", "Model/data", "--model-exe",
                       "stand-in.sh", "batch", "run", "Batch/campaign.txt", "-j", jobs, "--force"},
                      out_, err_),
            0);
        EXPECT_EQ(fs::current_path(), batch_.parent_path());
        // What the run wrote that does not depend on when it ran, and the model's log.
        std::multiset<std::string> left;
        for (std::string row : lines_of(out_.str()))
            left.insert(std::regex_replace(row, std::regex("[0-9.]+ s"), "- s"));
        for (const char* name : {"One/nv", "Two/nv", "One/or", "Two/or", "One/wa", "Two/wa"}) {
            const std::string base = (batch_ / name).string();
            auto record = nlohmann::json::parse(read(base + ".out.run.json"));
            left.insert(read(base + ".out.log") + record["inputs"].dump() + record["model"].dump() +
                        record["exit"].dump());
            fs::remove(base + ".out.log");
            fs::remove(base + ".out.run.json");
        }
        return left;
    };
    const auto one = run("1");
    EXPECT_EQ(run("2"), one);
    unsetenv("QV_STAND_IN_SECONDS");
}

TEST_F(QvoptBatch, RunSkipsScenariosWhoseRecordIsUpToDateUnlessForced) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV,OR"}),
              0);
    setenv("QV_STAND_IN_SECONDS", "0", 1);
    const std::string list = (batch_ / "campaign.txt").string();
    EXPECT_EQ(qvopt({"batch", "run", list}), 0) << out_.str() << err_.str();
    EXPECT_NE(out_.str().find("NV.opt: succeeded"), std::string::npos) << out_.str();

    EXPECT_EQ(qvopt({"batch", "run", list}), 0) << out_.str() << err_.str();
    EXPECT_NE(out_.str().find("NV.opt: up to date"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("OR.opt: up to date"), std::string::npos) << out_.str();

    // A changed options file makes its scenario out of date.
    std::ofstream(batch_ / "OR.opt", std::ios::app) << "* changed\r\n";
    EXPECT_EQ(qvopt({"batch", "run", list}), 0) << out_.str() << err_.str();
    EXPECT_NE(out_.str().find("NV.opt: up to date"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("OR.opt: succeeded"), std::string::npos) << out_.str();

    EXPECT_EQ(qvopt({"batch", "run", list, "--force"}), 0) << out_.str() << err_.str();
    EXPECT_NE(out_.str().find("NV.opt: succeeded"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("OR.opt: succeeded"), std::string::npos) << out_.str();
    unsetenv("QV_STAND_IN_SECONDS");
}

// The runs of one command hash a file they share once while it stays as it was; one that a run
// changes is recorded by the next run with what it holds then. The input is left to settle
// first, so that its hash may be kept at all.
TEST_F(QvoptBatch, ASharedInputChangedBetweenTwoRunsOfOneCommandGetsItsNewHash) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV,OR"}),
              0)
        << err_.str();
    const fs::path shared = model_ / "data" / "ACTIVITY" / "activity.dat";
    const OpensslHasher hasher;
    const std::string was = hasher.sha256_file(shared.string()).sha256;
    // The first run changes the shared input once its inputs are hashed, then writes its files.
    std::ofstream(model_ / "changer.sh") << R"SH(#!/bin/sh
base="$(dirname "$1")/$(basename "$1" .opt | tr A-Z a-z)"
case "$1" in *NV.opt) sleep 0.5; echo changed >> ')SH"
                                         << shared.string() << R"SH(';; esac
echo msg > "$base.msg"; echo out > "$base.out"
)SH";
    fs::permissions(model_ / "changer.sh", fs::perms::owner_all);
    std::this_thread::sleep_for(2500ms);

    std::vector<std::string> args = common();
    args[6] = "changer.sh";
    for (const char* word : {"batch", "run", "-j", "1"})
        args.emplace_back(word);
    args.push_back((batch_ / "campaign.txt").string());
    ASSERT_EQ(run_qvopt(args, out_, err_), 0) << out_.str() << err_.str();
    fs::current_path(start_dir_);

    const std::string now = hasher.sha256_file(shared.string()).sha256;
    ASSERT_NE(now, was);
    auto recorded = [&](const std::string& record) {
        const auto j = nlohmann::json::parse(read_any_case(record));
        for (const auto& input : j.at("inputs"))
            if (input.at("path").get<std::string>() == shared.string())
                return input.value("sha256", "");
        return std::string("(not recorded)");
    };
    EXPECT_NE(recorded("nv.out.run.json"), "(not recorded)");
    EXPECT_EQ(recorded("or.out.run.json"), now);
}

// batch status says the same of a campaign whether its records are read in one quick pass or
// in full (a record with a "\u" escape is read in full): one scenario up to date, one whose
// options file changed, one whose input is gone and one never run.
TEST_F(QvoptBatch, StatusIsTheSameWhetherRecordsAreReadQuicklyOrInFull) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "CA,NV,OR,WA"}),
              0);
    setenv("QV_STAND_IN_SECONDS", "0", 1);
    const std::string list = (batch_ / "campaign.txt").string();
    EXPECT_EQ(qvopt({"batch", "run", list, "-j", "2"}), 0) << out_.str() << err_.str();
    unsetenv("QV_STAND_IN_SECONDS");
    std::ofstream(batch_ / "NV.opt", std::ios::app) << "* changed\r\n";
    fs::remove(model_ / "data/POP/or.pop");
    std::vector<fs::path> records;
    for (const auto& e : fs::directory_iterator(batch_))
        if (e.path().filename().string().ends_with(".run.json"))
            records.push_back(e.path());
    ASSERT_EQ(records.size(), 4u);
    for (const auto& r : records)
        if (std::tolower(static_cast<unsigned char>(r.filename().string()[0])) == 'w')
            fs::remove(r);

    const std::vector<std::vector<std::string>> forms = {{}, {"--json"}, {"--lines"}};
    std::vector<std::string> quick;
    for (const auto& form : forms) {
        std::vector<std::string> args{"batch", "status", list};
        args.insert(args.end(), form.begin(), form.end());
        EXPECT_EQ(qvopt(args), 1);
        quick.push_back(out_.str());
    }
    for (const std::string state : {"done", "out of date", "never run"})
        EXPECT_NE(quick[0].find(state), std::string::npos) << quick[0];
    for (const auto& e : fs::directory_iterator(batch_)) {
        if (!e.path().filename().string().ends_with(".run.json"))
            continue;
        const std::string text = read(e.path());
        const std::string format = "\"qv-run-record/1\"";
        std::ofstream(e.path(), std::ios::binary)
            << text.substr(0, text.find(format)) << "\"qv-run-record\\u002f1\""
            << text.substr(text.find(format) + format.size());
    }
    for (std::size_t i = 0; i < forms.size(); ++i) {
        std::vector<std::string> args{"batch", "status", list};
        args.insert(args.end(), forms[i].begin(), forms[i].end());
        EXPECT_EQ(qvopt(args), 1);
        EXPECT_EQ(out_.str(), quick[i]);
    }
}

// A scenario whose save is refused runs on the file as it is on disk, and every report of the
// run says so.
TEST_F(QvoptBatch, RunSaysWhenASaveWasRefused) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV"}),
              0);
    fs::permissions(batch_ / "NV.opt", fs::perms::owner_read);
    setenv("QV_STAND_IN_SECONDS", "0", 1);
    EXPECT_EQ(qvopt({"batch", "run", (batch_ / "campaign.txt").string()}), 0) << err_.str();
    unsetenv("QV_STAND_IN_SECONDS");
    const std::string note =
        "not saved: file error 70 (read-only); the model ran on the file as it is on disk";
    EXPECT_NE(out_.str().find("NV.opt: succeeded ("), std::string::npos) << out_.str();
    const std::string table = out_.str().substr(out_.str().find("exit status\n"));
    EXPECT_NE(table.find("exit status 0; " + note), std::string::npos) << out_.str();
    EXPECT_NE(read_any_case("nv.out.run.json").find("\"note\": \"" + note + "\""),
              std::string::npos);
}

TEST_F(QvoptBatch, RunStopsARunPastItsTimeLimit) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV"}),
              0);
    setenv("QV_STAND_IN_SECONDS", "60", 1);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(qvopt({"batch", "run", (batch_ / "campaign.txt").string(), "--timeout", "1"}), 6);
    unsetenv("QV_STAND_IN_SECONDS");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 30s);
    EXPECT_NE(out_.str().find("NV.opt: failed"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("at the time limit"), std::string::npos) << out_.str();
}

TEST_F(QvoptBatch, RunRefusesACampaignWhoseEntriesShareAnOutput) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV"}),
              0);
    std::ofstream(batch_ / "twice.txt") << "NV.opt\n\n" << (batch_ / "NV.opt").string() << "\n";
    EXPECT_EQ(qvopt({"batch", "run", (batch_ / "twice.txt").string()}), 1);
    EXPECT_NE(err_.str().find("line 1 (" + (batch_ / "NV.opt").string() + ") and line 3"),
              std::string::npos)
        << err_.str();
    EXPECT_FALSE(fs::exists(batch_ / "nv.pid"));
}

// Waits (bounded) for a process of ours to end; its wait status, or -1 when it did not end.
int wait_for_end(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 400; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        std::this_thread::sleep_for(50ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// A batch stopped by SIGINT, or killed outright, ends every model and all they started, in
// their groups or not, whichever thread started them; so does batch run-one, which the Batch
// window stops with SIGTERM.
TEST_F(QvoptBatch, StoppedOrKilledItEndsEveryModelAndAllTheyStarted) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV,OR,CA"}),
              0);
    const std::string log = (dir_.path() / "qvopt.log").string();
    const std::vector<std::string> run{"batch", "run", "-j", "2",
                                       (batch_ / "campaign.txt").string()};
    const struct {
        std::vector<std::string> command;
        int signal;
        std::size_t models;
        int status;  // -1: ended by the signal
        std::vector<std::string> said;
    } rows[] = {
        {run, SIGINT, 2, 130, {"stopped", "not run"}},
        {run, SIGKILL, 2, -1, {}},
        {{"batch", "run-one", (batch_ / "NV.opt").string()},
         SIGTERM,
         1,
         143,
         {"NV.opt: stopped (", "stopped by the user)"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command[1] + " " + std::to_string(row.signal));
        for (const auto& e : fs::directory_iterator(batch_))
            if (e.path().extension() != ".opt" && e.path().extension() != ".txt")
                fs::remove(e.path());
        const pid_t qv = spawn_qvopt(row.command, {"QV_STAND_IN_SECONDS=60"}, log);
        // Every running model has started its children (bounded wait).
        std::vector<pid_t> pids;
        for (int i = 0; i < 300 && pids.size() < 3 * row.models; ++i) {
            std::this_thread::sleep_for(50ms);
            pids = noted(".child");
            if (pids.size() < row.models)
                continue;
            for (const char* ext : {".pid", ".detached"})
                for (pid_t pid : noted(ext))
                    pids.push_back(pid);
        }
        ASSERT_EQ(pids.size(), 3 * row.models) << test::read_file(log);
        kill(qv, row.signal);
        const int status = wait_for_end(qv);
        ASSERT_NE(status, -1) << "qvopt did not end after the signal\n" << test::read_file(log);
        for (pid_t pid : pids)
            EXPECT_TRUE(test::ends_within(pid)) << pid;
        if (row.status < 0) {
            EXPECT_TRUE(WIFSIGNALED(status));
            continue;
        }
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), row.status) << test::read_file(log);
        const std::string out = test::read_file(log);
        for (const std::string& text : row.said)
            EXPECT_NE(out.find(text), std::string::npos) << out;
    }
}

// While a scenario runs, a second start of it from qvopt run or a batch is refused and the
// batch status shows it running; once its holder has ended, however, it runs again.
TEST_F(QvoptBatch, AScenarioRunsOnceAtATime) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV"}),
              0);
    const std::string opt = (batch_ / "NV.opt").string();
    const std::string list = (batch_ / "campaign.txt").string();
    const std::string log = (dir_.path() / "qvopt.log").string();
    for (const int signal : {SIGTERM, SIGKILL}) {
        fs::remove(batch_ / "nv.child");
        const pid_t holder = spawn_qvopt({"run", opt}, {"QV_STAND_IN_SECONDS=60"}, log);
        for (int i = 0; i < 300 && noted(".child").empty(); ++i)
            std::this_thread::sleep_for(50ms);
        ASSERT_FALSE(noted(".child").empty()) << test::read_file(log);
        const std::string running = "it is running in process " + std::to_string(holder);

        EXPECT_EQ(qvopt({"run", opt}), 7) << out_.str() << err_.str();
        EXPECT_NE(err_.str().find("NV.opt: not run: " + running + " since "), std::string::npos)
            << err_.str();
        EXPECT_EQ(qvopt({"batch", "run", list}), 6);
        EXPECT_NE(out_.str().find("NV.opt: failed"), std::string::npos) << out_.str();
        EXPECT_NE(out_.str().find("not run: " + running), std::string::npos) << out_.str();
        EXPECT_EQ(qvopt({"batch", "status", list, "--json"}), 1);
        EXPECT_NE(out_.str().find("\"state\": \"running\""), std::string::npos) << out_.str();

        kill(holder, signal);
        ASSERT_NE(wait_for_end(holder), -1);
        setenv("QV_STAND_IN_SECONDS", "0", 1);
        EXPECT_EQ(qvopt({"run", opt}), 0) << out_.str() << err_.str();
        unsetenv("QV_STAND_IN_SECONDS");
        EXPECT_EQ(qvopt({"batch", "status", list}), 0) << out_.str();
    }
}

TEST_F(QvoptBatch, RunTellsWhyAModelThatExitedZeroFailed) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV", "--set", "title1str=NOFILES"}),
              0);
    EXPECT_EQ(qvopt({"batch", "run", (batch_ / "campaign.txt").string()}), 6);
    const std::string table = out_.str().substr(out_.str().find("\nfile "));
    EXPECT_NE(table.find("failed"), std::string::npos) << table;
    EXPECT_NE(table.find("the model ended with exit status 0 but did not write its message file"),
              std::string::npos)
        << table;
}

TEST_F(QvoptBatch, AListThatIsADirectoryIsRefusedByName) {
    fs::create_directories(batch_);
    for (const char* command : {"run", "status", "slurm"}) {
        EXPECT_EQ(qvopt({"batch", command, batch_.string()}), 1) << command << out_.str();
        EXPECT_NE(
            err_.str().find(batch_.string() + ": cannot read the list file: it is a directory"),
            std::string::npos)
            << command << ": " << err_.str();
    }
}

// The forms the Batch window uses: run-one runs a scenario as each run of batch run does and
// says how it ended in the same words (as JSON with --json); facts and status --lines give one
// JSON line per scenario.
TEST_F(QvoptBatch, TheBatchWindowsFormsRunOneAndTellOneLinePerScenario) {
    ASSERT_EQ(qvopt({"batch", "make", (model_ / "demo.opt").string(), "--out", batch_.string(),
                     "--states", "NV", "--set", "title1str=OK,FAIL"}),
              0);
    setenv("QV_STAND_IN_SECONDS", "0", 1);
    const std::string ok = (batch_ / "NVOK.opt").string(), bad = (batch_ / "NVFAIL.opt").string();
    EXPECT_EQ(qvopt({"batch", "run-one", ok}), 0) << err_.str();
    const std::string line = out_.str();
    EXPECT_EQ(line.rfind(ok + ": succeeded (", 0), 0u) << line;
    EXPECT_NE(line.find(" s, exit status 0)\n"), std::string::npos) << line;
    EXPECT_FALSE(fs::exists(model_ / "quarvel.bat"));

    EXPECT_EQ(qvopt({"batch", "run-one", bad, "--json"}), 6) << err_.str();
    const auto outcome = nlohmann::json::parse(out_.str());
    EXPECT_EQ(outcome["result"], "failed");
    EXPECT_EQ(outcome["end"], "exit status 3");
    EXPECT_EQ(outcome["output_size"], -1);
    EXPECT_EQ(outcome["line"].get<std::string>().rfind(bad + ": failed (", 0), 0u);

    EXPECT_EQ(qvopt({"batch", "facts", ok, (batch_ / "missing.opt").string()}), 0);
    const auto facts = lines_of(out_.str());
    ASSERT_EQ(facts.size(), 2u) << out_.str();
    const auto first = nlohmann::json::parse(facts[0]);
    EXPECT_EQ(first["readable"], true);
    EXPECT_EQ(first["title"], "OK");
    EXPECT_EQ(first["region_level"], "STATE");
    EXPECT_EQ(first["regions"], 1);
    EXPECT_EQ(nlohmann::json::parse(facts[1])["readable"], false);

    EXPECT_EQ(qvopt({"batch", "status", (batch_ / "campaign.txt").string(), "--lines"}), 1);
    const auto states = lines_of(out_.str());
    ASSERT_EQ(states.size(), 2u) << out_.str();
    const auto done = nlohmann::json::parse(states[0]);
    const auto failed = nlohmann::json::parse(states[1]);
    EXPECT_EQ(done["written"], "NVOK.opt");
    EXPECT_EQ(done["state"], "done");
    EXPECT_GT(done["output_size"].get<long>(), 0);
    EXPECT_TRUE(done["ended_ms"].is_number());
    EXPECT_EQ(failed["state"], "failed");
    EXPECT_EQ(failed["detail"], "exit status 3");
    unsetenv("QV_STAND_IN_SECONDS");
}

}  // namespace
}  // namespace qv::cli
