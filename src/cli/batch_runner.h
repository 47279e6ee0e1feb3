#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "cli/headless.h"
#include "cli/services.h"
#include "runs/model_process.h"
#include "runs/worker_pool.h"

namespace qv::cli {

// What the batch's runs share.
struct LocalRunSetup {
    CommonOptions common;
    const char* argv0 = nullptr;
    std::optional<std::chrono::seconds> time_limit;
    // Starts the models; shared by the runs of every worker thread.
    ModelLauncher* launcher = nullptr;
    // Hashes the files of each run's record; none: no record is written.
    const Hasher* hasher = nullptr;
    // Follow every run, besides its record.
    std::vector<runs::RunObserver*> observers;
};

// Runs one scenario as `qvopt run` does, through the same run function with its run record, but
// with no batch file in the model directory (runs in parallel would overwrite it): reads the
// options file, saves it, and runs the model on it with its whole output in
// "<output data file>.log". A stop asked of CONTROL ends the model's whole process group; one
// asked before the model started keeps it from starting.
runs::RunFacts run_scenario(const LocalRunSetup& setup, const runs::BatchJob& job,
                            runs::RunControl& control);

// Whether the record of a scenario's latest run shows it up to date with its inputs.
bool record_up_to_date(const Hasher& hasher, const runs::BatchJob& job);

// The files a scenario's run writes, read from its options file as qvopt reads it.
runs::ScenarioOutputs read_scenario_outputs(const CommonOptions& common, const char* argv0,
                                            const runs::CampaignEntry& entry);

}  // namespace qv::cli
