#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"
#include "runs/campaign.h"
#include "runs/slurm_job.h"

namespace qv::runs {

// Where one scenario of a campaign stands, by its run record.
enum class ScenarioState { never_run, running, done, failed, out_of_date };

// "never run", "running", "done", "failed", "out of date".
std::string_view state_name(ScenarioState state);

// What a scenario's run record says: its state, and for people why (how a failed run ended,
// which file changed since the run).
struct RecordView {
    ScenarioState state = ScenarioState::never_run;
    std::string detail;
    // When the recorded run ended (UTC milliseconds since the epoch) and how long it took;
    // unset without a readable record.
    std::optional<std::int64_t> ended_ms, duration_ms;
    // The last run was stopped (state failed): the window shows it as stopped.
    bool stopped = false;
    // The output data file on disk is older than the last run, which did not write it.
    bool output_older = false;
    // What the check found at the output data file's path (nothing there: nullopt), so that
    // it is not looked up again; unset when the check did not look.
    std::optional<std::optional<FileFacts>> output_facts;
};

// Reads the record of the scenario that writes OUTPUTS (record: "<output data file>.run.json")
// and checks it against the disk.
using RecordCheck = std::function<RecordView(const CampaignEntry&, const ScenarioOutputs&)>;

struct ScenarioStatus {
    CampaignEntry entry;
    std::string output_data;  // host path; empty when the options file could not be read
    RecordView record;
    std::string slurm_task;   // "<job>_<task>" while Slurm holds a task for it, else empty
    std::string slurm_state;  // as squeue reports it, such as "PENDING", "RUNNING"

    // Done, up to date, and no task of it left in Slurm.
    bool finished() const;
};

struct BatchStatus {
    std::vector<ScenarioStatus> scenarios;
    bool all_finished() const;
};

// The state of every entry of a campaign: OUTPUTS holds each entry's files, in list order
// (check_distinct_outputs), QUEUED the Slurm tasks of the campaign's job script and TASKS the
// options files of that script in task order (script_tasks). A scenario whose task Slurm runs
// at the moment is "running", whatever the record of its previous run says.
BatchStatus batch_status(const Campaign& campaign, const std::vector<ScenarioOutputs>& outputs,
                         const RecordCheck& check, const std::vector<QueuedTask>& queued = {},
                         const std::vector<SlurmTask>& tasks = {});

// One line per scenario (line, state, Slurm state, options file, detail) under a header, then a
// line of counts per state.
std::string status_table(const BatchStatus& status);

}  // namespace qv::runs
