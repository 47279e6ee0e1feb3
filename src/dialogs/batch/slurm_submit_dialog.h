#pragma once

#include <optional>
#include <string>

class QWidget;

namespace qv {

class Session;

// A job array submitted for a campaign.
struct SlurmSubmission {
    std::string job_id;
    std::string script_path;  // host path of LIST.sbatch
};

// Whether sbatch is on PATH, so that a campaign can go to Slurm.
bool slurm_available();

// "Submit to Slurm": asks for the partition, time limit, CPUs per task and tasks at once
// (remembered in qv-gui's own settings), shows the job script for the campaign LIST_PATH (a
// host path) and submits it. FORCE includes the scenarios that are up to date. Nothing when
// the user cancelled or the submission failed (a message said why).
std::optional<SlurmSubmission> submit_to_slurm(const Session& s, const std::string& list_path,
                                               bool force, QWidget* parent);

}  // namespace qv
