#include "runs/batch_status.h"

#include <gtest/gtest.h>

#include <map>

namespace qv::runs {
namespace {

Campaign campaign_of(int n) {
    Campaign c;
    c.list_path = "/w/campaign.txt";
    for (int i = 0; i < n; ++i) {
        const std::string name = "s" + std::to_string(i) + ".opt";
        c.entries.push_back({2 * i + 1, name, "/w/" + name});
    }
    return c;
}

std::vector<ScenarioOutputs> outputs_of(const Campaign& c) {
    std::vector<ScenarioOutputs> out;
    for (const auto& e : c.entries)
        out.push_back({e.path + ".msg", e.path + ".out"});
    return out;
}

// Records as a table: options file -> what its record says.
RecordCheck records(std::map<std::string, RecordView> by_file) {
    return [by_file](const CampaignEntry& e, const ScenarioOutputs& o) {
        EXPECT_EQ(o.output_data, e.path + ".out");
        auto it = by_file.find(e.path);
        return it == by_file.end() ? RecordView{} : it->second;
    };
}

TEST(BatchStatus, SlurmTasksAreMatchedToTheirScenariosByTheScriptsTaskOrder) {
    const auto c = campaign_of(4);
    // The script holds the scenarios that were not up to date: s1, s3, s2 in task order.
    const std::vector<SlurmTask> tasks = {{3, "/w/s1.opt"}, {7, "/w/s3.opt"}, {5, "/w/s2.opt"}};
    const std::vector<QueuedTask> queued = {
        {"40", 0, "RUNNING"},
        {"41", 2, "PENDING"},
        {"40", 2, "RUNNING"},  // an earlier submission of the same script
        {"41", 9, "PENDING"},  // not a task of this script: left out
    };
    const auto status =
        batch_status(c, outputs_of(c),
                     records({{"/w/s0.opt", {ScenarioState::done, "", {}, {}, false, false, {}}},
                              {"/w/s3.opt", {ScenarioState::done, "", {}, {}, false, false, {}}}}),
                     queued, tasks);
    ASSERT_EQ(status.scenarios.size(), 4u);
    const std::vector<std::pair<std::string, std::string>> slurm = {
        {"", ""}, {"40_0", "RUNNING"}, {"41_2", "PENDING"}, {"", ""}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(status.scenarios[i].slurm_task, slurm[i].first) << i;
        EXPECT_EQ(status.scenarios[i].slurm_state, slurm[i].second) << i;
        EXPECT_EQ(status.scenarios[i].output_data, c.entries[i].path + ".out");
    }
    EXPECT_EQ(status.scenarios[1].record.state, ScenarioState::running);
    EXPECT_EQ(status.scenarios[2].record.state, ScenarioState::never_run);
    EXPECT_TRUE(status.scenarios[0].finished());
    EXPECT_FALSE(status.scenarios[1].finished());
    EXPECT_TRUE(status.scenarios[3].finished());
    EXPECT_FALSE(status.all_finished());
}

TEST(BatchStatus, AllFinishedOnlyWhenEveryRecordIsDoneAndNothingIsQueued) {
    const auto c = campaign_of(2);
    const struct {
        ScenarioState second;
        std::vector<QueuedTask> queued;
        bool finished;
    } rows[] = {
        {ScenarioState::done, {}, true},
        {ScenarioState::done, {{"9", 0, "PENDING"}}, false},  // a rerun is on its way
        {ScenarioState::failed, {}, false},
        {ScenarioState::out_of_date, {}, false},
        {ScenarioState::running, {}, false},
        {ScenarioState::never_run, {}, false},
    };
    for (const auto& row : rows) {
        const auto status = batch_status(
            c, outputs_of(c),
            records({{"/w/s0.opt", {ScenarioState::done, "", {}, {}, false, false, {}}},
                     {"/w/s1.opt", {row.second, "", {}, {}, false, false, {}}}}),
            row.queued, {{3, "/w/s1.opt"}});
        EXPECT_EQ(status.all_finished(), row.finished) << state_name(row.second);
    }
}

TEST(BatchStatus, TableShowsEachScenarioAndTheCounts) {
    const auto c = campaign_of(3);
    const auto status = batch_status(
        c, outputs_of(c),
        records(
            {{"/w/s0.opt", {ScenarioState::done, "", {}, {}, false, false, {}}},
             {"/w/s1.opt", {ScenarioState::failed, "exit status 3", {}, {}, false, false, {}}}}),
        {{"7", 0, "RUNNING"}}, {{5, "/w/s2.opt"}});
    const std::string table = status_table(status);
    EXPECT_NE(table.find("1     done         -        /w/s0.opt\n"), std::string::npos) << table;
    EXPECT_NE(table.find("3     failed       -        /w/s1.opt (exit status 3)\n"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("5     running      RUNNING  /w/s2.opt\n"), std::string::npos) << table;
    EXPECT_NE(table.find("3 scenario(s): 1 done, 1 running, 1 failed\n"), std::string::npos)
        << table;
}

}  // namespace
}  // namespace qv::runs
