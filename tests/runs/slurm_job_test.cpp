#include "runs/slurm_job.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "support/temp_dir.h"

namespace qv::runs {
namespace {

SlurmJobSpec spec_with(std::vector<SlurmTask> tasks) {
    SlurmJobSpec job;
    job.list_path = "/w/campaign.txt";
    job.script_path = "/w/campaign.txt.sbatch";
    job.log_pattern = "/w/campaign.txt.slurm-logs/%A_%a.log";
    job.qvopt = {"/opt/qv/bin/qvopt", "--model-dir", "/w/model"};
    job.tasks = std::move(tasks);
    return job;
}

// What bash prints when it runs the script as task INDEX, with printf standing for qvopt.
std::string run_as_task(const SlurmJobSpec& job, int index) {
    test::TempDir dir;
    SlurmJobSpec printing = job;
    printing.qvopt = {"printf", "[%s]"};
    const std::string script = dir.write("job.sbatch", sbatch_script(printing));
    const std::string command =
        "SLURM_ARRAY_TASK_ID=" + std::to_string(index) + " bash '" + script + "'";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

TEST(SlurmJob, EachTaskRunsQvoptOnItsOwnFileWhateverTheFileIsCalled) {
    const std::vector<SlurmTask> tasks = {
        {3, "/w/plain.opt"},
        {5, "/w/with blank/and 'quote'.opt"},
        {8, "/w/$HOME `date` \"x\"\\y;*.opt"},
    };
    const auto job = spec_with(tasks);
    for (std::size_t i = 0; i < tasks.size(); ++i)
        EXPECT_EQ(run_as_task(job, static_cast<int>(i)),
                  "[batch][run-one][" + tasks[i].options_file + "]");

    const auto back = script_tasks(sbatch_script(job));
    ASSERT_EQ(back.size(), tasks.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        EXPECT_EQ(back[i].line, tasks[i].line);
        EXPECT_EQ(back[i].options_file, tasks[i].options_file);
    }
    EXPECT_TRUE(script_tasks("#!/bin/bash\necho hello\n").empty());
}

TEST(SlurmJob, DirectivesFollowTheResourcesGiven) {
    auto job = spec_with({{1, "/w/a.opt"}, {2, "/w/b.opt"}, {4, "/w/c.opt"}});
    const std::string bare = sbatch_script(job);
    EXPECT_NE(bare.find("\n#SBATCH --array=0-2\n"), std::string::npos) << bare;
    EXPECT_NE(bare.find("\n#SBATCH --output=\"/w/campaign.txt.slurm-logs/%A_%a.log\"\n"),
              std::string::npos);
    EXPECT_NE(bare.find("exec '/opt/qv/bin/qvopt' '--model-dir' '/w/model' batch run-one "),
              std::string::npos);
    for (const char* absent : {"--partition", "--time", "--cpus-per-task", "--account"})
        EXPECT_EQ(bare.find(absent), std::string::npos) << absent;

    job.resources = {"short", "1-02:30:00", 4, 2, "proj7"};
    const std::string full = sbatch_script(job);
    for (const char* line :
         {"#SBATCH --array=0-2%2\n", "#SBATCH --partition=short\n", "#SBATCH --time=1-02:30:00\n",
          "#SBATCH --cpus-per-task=4\n", "#SBATCH --account=proj7\n"})
        EXPECT_NE(full.find(line), std::string::npos) << line << full;
}

TEST(SlurmJob, RefusesWhatWouldChangeTheScriptsMeaning) {
    const struct {
        SlurmResources resources;
        std::string script_path;
        std::string task_file;
    } rows[] = {
        {{"two words", "", 0, 0, ""}, "/w/l.sbatch", "/w/a.opt"},
        {{"p\n#SBATCH --exclusive", "", 0, 0, ""}, "/w/l.sbatch", "/w/a.opt"},
        {{"", "", 0, 0, "a\"b"}, "/w/l.sbatch", "/w/a.opt"},
        {{"", "1:00", 0, 0, ""}, "/w/l.sbatch", "/w/a.opt"},
        {{"", "01:60:00", 0, 0, ""}, "/w/l.sbatch", "/w/a.opt"},
        {{"", "x-01:00:00", 0, 0, ""}, "/w/l.sbatch", "/w/a.opt"},
        {{"", "aa:bb:cc", 0, 0, ""}, "/w/l.sbatch", "/w/a.opt"},
        {{}, "/w/l\n.sbatch", "/w/a.opt"},
        {{}, "/w/l.sbatch", "/w/a\n.opt"},
    };
    for (const auto& row : rows) {
        auto job = spec_with({{1, row.task_file}});
        job.resources = row.resources;
        job.script_path = row.script_path;
        EXPECT_THROW(sbatch_script(job), SlurmJobError)
            << row.resources.partition << row.resources.time << row.script_path << row.task_file;
    }
    EXPECT_THROW(sbatch_script(spec_with({})), SlurmJobError);
    for (const char* time : {"00:30:00", "120:00:00", "2-00:00:00"})
        EXPECT_NO_THROW(check_resources({"", time, 0, 0, ""})) << time;
}

TEST(SlurmJob, ReadsTheJobIdThatSbatchPrints) {
    const struct {
        std::string printed;
        std::optional<std::string> id;
    } rows[] = {
        {"4711\n", "4711"},
        {"4711;big-cluster\n", "4711"},
        {"", std::nullopt},
        {"sbatch: error: invalid partition\n", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(parsable_job_id(row.printed), row.id) << row.printed;
}

TEST(SlurmJob, KeepsOnlyTheTasksOfItsOwnScript) {
    const std::string script = "/w/my|list.txt.sbatch";
    const std::string squeue =
        "12|0|RUNNING|/w/my|list.txt.sbatch\n"
        "12|1|PENDING|/w/my|list.txt.sbatch\r\n"
        "13|0|RUNNING|/w/other.sbatch\n"
        "14|N/A|RUNNING|/w/my|list.txt.sbatch\n"
        "garbage\n";
    const auto tasks = queued_tasks(squeue, script);
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[0].job_id, "12");
    EXPECT_EQ(tasks[0].task, 0);
    EXPECT_EQ(tasks[0].state, "RUNNING");
    EXPECT_EQ(tasks[1].task, 1);
    EXPECT_EQ(tasks[1].state, "PENDING");
}

}  // namespace
}  // namespace qv::runs
