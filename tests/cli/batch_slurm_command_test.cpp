#include "cli/batch_slurm_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "support/temp_dir.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

// A copy of the demo workspace with scenarios s0..s(n-1), each writing its own result files,
// and campaign.txt listing them.
struct Campaign {
    explicit Campaign(int n, bool same_output = false) {
        model = dir.path() / "model";
        test::copy_demo_model(model);
        const std::string demo = test::read_file(model / "demo.opt");
        std::string text_of_list = "# scenarios\r\n";
        for (int i = 0; i < n; ++i) {
            std::string text = demo;
            const std::string name = same_output ? "same" : "s" + std::to_string(i);
            for (const char* ext : {".msg", ".out"}) {
                const std::string from = std::string("outputs\\demo") + ext;
                text.replace(text.find(from), from.size(), "outputs\\" + name + ext);
            }
            dir.write("model/s" + std::to_string(i) + ".opt", text);
            text_of_list += "model/s" + std::to_string(i) + ".opt\r\n";
        }
        this->list = dir.write("campaign.txt", text_of_list);
    }

    std::string opt(int i) const { return (model / ("s" + std::to_string(i) + ".opt")).string(); }

    test::TempDir dir;
    fs::path model;
    std::string list;
};

struct Result {
    int status = -1;
    std::string out, err;
};

// Runs `qvopt [common] batch ARGS` through the batch commands with CHECK reading the records.
Result batch(const std::vector<std::string>& args, const CommonOptions& common,
             const runs::RecordCheck& check) {
    const fs::path start = fs::current_path();
    CLI::App app;
    auto* sub = app.add_subcommand("batch");
    BatchSlurmCommands commands(*sub);
    std::vector<std::string> argv = {"qvopt", "batch"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::reverse(argv.begin(), argv.end());
    argv.pop_back();
    app.parse(argv);
    EXPECT_TRUE(commands.parsed());
    Result r;
    std::ostringstream out, err;
    r.status = commands.run(common, out, err, check);
    r.out = out.str();
    r.err = err.str();
    fs::current_path(start);
    return r;
}

// Records: the options files in DONE are done and up to date, every other one never ran.
runs::RecordCheck done_for(std::set<std::string> done) {
    return [done](const runs::CampaignEntry& e, const runs::ScenarioOutputs&) {
        runs::RecordView view;
        view.state =
            done.count(e.path) ? runs::ScenarioState::done : runs::ScenarioState::never_run;
        return view;
    };
}

// Puts a stand-in for a Slurm command, a shell script, first on PATH for the life of the object.
struct FakeCommand {
    FakeCommand(const std::string& name, const std::string& body) {
        const std::string path = dir.write(name, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
        old_path = std::getenv("PATH");
        setenv("PATH", (dir.str() + ":" + old_path).c_str(), 1);
    }
    ~FakeCommand() { setenv("PATH", old_path.c_str(), 1); }
    test::TempDir dir;
    std::string old_path;
};

TEST(BatchSlurmCommand, ScriptRunsEveryScenarioNotUpToDateWithAbsoluteOptions) {
    Campaign c(3);
    const fs::path start = fs::current_path();
    fs::current_path(c.dir.path());
    const CommonOptions common{"", "model", "qv-demo-model", "model/data"};
    const auto check = done_for({c.opt(1)});

    const struct {
        std::vector<std::string> extra;
        std::vector<int> scenarios;
    } rows[] = {{{}, {0, 2}}, {{"--force"}, {0, 1, 2}}};
    for (const auto& row : rows) {
        std::vector<std::string> args = {"slurm", "campaign.txt", "--max-parallel", "2"};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const Result r = batch(args, common, check);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string script = test::read_file(c.list + ".sbatch");
        const auto tasks = runs::script_tasks(script);
        ASSERT_EQ(tasks.size(), row.scenarios.size()) << script;
        for (std::size_t i = 0; i < tasks.size(); ++i)
            EXPECT_EQ(tasks[i].options_file, c.opt(row.scenarios[i]));
        const std::string words = "'--model-dir' '" + c.model.string() + "' '--data-dir' '" +
                                  (c.model / "data").string() + "' '--model-exe' 'qv-demo-model'";
        EXPECT_NE(script.find(words), std::string::npos) << script;
        EXPECT_TRUE(fs::is_directory(c.list + ".slurm-logs"));
    }
    fs::current_path(start);

    const Result none = batch({"slurm", c.list}, {"", c.model.string(), "qv-demo-model", ""},
                              done_for({c.opt(0), c.opt(1), c.opt(2)}));
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_NE(none.out.find("is up to date; no job script written"), std::string::npos);
}

TEST(BatchSlurmCommand, SubmitPrintsTheJobIdAloneOrTheRefusal) {
    Campaign c(2);
    const CommonOptions common{"", c.model.string(), "qv-demo-model", ""};
    const struct {
        std::string sbatch;
        int status;
        std::string out, err;
    } rows[] = {
        {"echo \"4242;cluster\"", 0, "4242\n", "wrote "},
        {"echo 'sbatch: error: invalid partition' >&2; exit 1", 1, "",
         "qvopt batch slurm: sbatch refused " + c.list +
             ".sbatch: sbatch: error: invalid "
             "partition"},
    };
    for (const auto& row : rows) {
        FakeCommand sbatch("sbatch", row.sbatch);
        const Result r = batch({"slurm", c.list, "--submit", "--force"}, common, done_for({}));
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.out, row.out);
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    }
}

TEST(BatchSlurmCommand, ASlurmCommandThatDoesNotAnswerIsEndedAndNamed) {
    Campaign c(1);
    const CommonOptions common{"", c.model.string(), "qv-demo-model", ""};
    ASSERT_EQ(batch({"slurm", c.list}, common, done_for({})).status, 0);
    setenv("QV_SBATCH_TIMEOUT", "1", 1);
    setenv("QV_SQUEUE_TIMEOUT", "1", 1);
    const struct {
        std::string command, body;
        std::vector<std::string> args;
        std::string err;
    } rows[] = {
        {"sbatch",
         "sleep 60",
         {"slurm", c.list, "--submit", "--force"},
         "qvopt batch slurm: sbatch did not answer in 1 s"},
        {"sbatch",
         "exec >/dev/null 2>&1; sleep 60",
         {"slurm", c.list, "--submit", "--force"},
         "qvopt batch slurm: sbatch did not answer in 1 s"},
        {"squeue",
         "sleep 60",
         {"status", c.list},
         "qvopt batch status: squeue did not answer in 1 s"},
    };
    for (const auto& row : rows) {
        FakeCommand fake(row.command, row.body);
        // Every record done: only Slurm's silence keeps the status from saying all is done.
        const Result r = batch(row.args, common, done_for({c.opt(0)}));
        EXPECT_EQ(r.status, 1) << row.body;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << row.body << ": " << r.err;
    }
    unsetenv("QV_SBATCH_TIMEOUT");
    unsetenv("QV_SQUEUE_TIMEOUT");
}

TEST(BatchSlurmCommand, RefusalsSayWhyAndWriteNothing) {
    Campaign same(2, true);
    Campaign c(1);
    const CommonOptions common{"", c.model.string(), "qv-demo-model", ""};
    const struct {
        std::string list;
        std::vector<std::string> extra;
        std::string err;
    } rows[] = {
        {same.list,
         {},
         "line 2 (" + same.opt(0) + ") and line 3 (" + same.opt(1) + ") would both write"},
        {c.list, {"--time", "90:00"}, "--time 90:00: HH:MM:SS or D-HH:MM:SS is expected"},
        {c.list, {"--partition", "a b"}, "--partition a b: a name without blanks"},
        {c.dir.str() + "/missing.txt", {}, "missing.txt"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = {"slurm", row.list};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const Result r =
            batch(args,
                  CommonOptions{"", (fs::path(row.list).parent_path() / "model").string(),
                                "qv-demo-model", ""},
                  done_for({}));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("qvopt batch slurm: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(row.list + ".sbatch"));
    }
}

TEST(BatchSlurmCommand, StatusShowsRecordsAndSlurmStatesAndExitsZeroOnlyWhenAllDone) {
    Campaign c(2);
    const CommonOptions common{"", c.model.string(), "qv-demo-model", ""};
    ASSERT_EQ(batch({"slurm", c.list}, common, done_for({})).status, 0);
    const std::string script = c.list + ".sbatch";

    // squeue knows the second task of the script, and a task of another job.
    FakeCommand squeue("squeue", "echo '7|1|RUNNING|" + script + "'; echo '8|0|PENDING|/x.sbatch'");
    const struct {
        std::set<std::string> done;
        int status;
        std::vector<std::string> shown;
    } rows[] = {
        {{}, 1, {"\"state\": \"never run\"", "\"slurm_task\": \"7_1\"", "\"all_done\": false"}},
        {{c.opt(0), c.opt(1)},
         1,
         {"\"state\": \"done\"", "\"slurm_state\": \"RUNNING\"", "\"all_done\": false"}},
    };
    for (const auto& row : rows) {
        const Result r = batch({"status", c.list, "--json"}, common, done_for(row.done));
        EXPECT_EQ(r.status, row.status);
        for (const auto& text : row.shown)
            EXPECT_NE(r.out.find(text), std::string::npos) << text << '\n' << r.out;
        EXPECT_EQ(r.out.find("8_0"), std::string::npos);
    }
    FakeCommand empty_queue("squeue", "true");
    const Result all = batch({"status", c.list}, common, done_for({c.opt(0), c.opt(1)}));
    EXPECT_EQ(all.status, 0) << all.out;
    EXPECT_NE(all.out.find("2 scenario(s): 2 done\n"), std::string::npos) << all.out;
}

}  // namespace
}  // namespace qv::cli
