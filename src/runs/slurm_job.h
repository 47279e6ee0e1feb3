#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::runs {

// A request that cannot become a job script; what() is the reason, ready to print.
struct SlurmJobError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The job's resources, as given on qvopt's command line; empty or 0 leaves Slurm's default.
struct SlurmResources {
    std::string partition;
    std::string time;  // HH:MM:SS, or D-HH:MM:SS
    int cpus_per_task = 0;
    int max_parallel = 0;  // tasks running at once
    std::string account;
};

// Refuses values that Slurm would refuse or that would change the script's meaning (a line
// break, a blank), before anything is written.
void check_resources(const SlurmResources& resources);

// One task of the job array: the campaign line it stands for and the options file it runs.
struct SlurmTask {
    int line = 0;
    std::string options_file;  // absolute host path
};

// Everything a job script holds.
struct SlurmJobSpec {
    std::string list_path;    // absolute host path of the campaign list
    std::string script_path;  // absolute host path of the script (LIST.sbatch)
    std::string log_pattern;  // sbatch --output: where each task's console output goes
    std::vector<std::string>
        qvopt;  // the absolute qvopt path and its common options, run before "run"
    SlurmResources resources;
    std::vector<SlurmTask> tasks;  // at least one
};

// The text of a job array script with one task per job.tasks entry: task i runs
// `qvopt ... run <tasks[i].options_file>`.
std::string sbatch_script(const SlurmJobSpec& job);

// The tasks a script written by sbatch_script runs, in task order; empty for another text.
std::vector<SlurmTask> script_tasks(const std::string& script);

// A word for bash, in single quotes.
std::string shell_quote(const std::string& word);

// The job id in what `sbatch --parsable` printed ("123" or "123;cluster").
std::optional<std::string> parsable_job_id(const std::string& sbatch_output);

// One task Slurm still knows of, from squeue.
struct QueuedTask {
    std::string job_id;  // the array job's id
    int task = -1;       // array index
    std::string state;   // as squeue reports it: "PENDING", "RUNNING", ...
};

// The squeue format whose lines queued_tasks reads: array job id, task index, state, script.
// "%F" is the array's own id, the one sbatch printed and the log names carry ("15" of task
// "15_0"); "%A" would be the id Slurm gives each task once it starts.
inline constexpr const char* squeue_format = "%F|%K|%T|%o";

// The tasks of the job arrays submitted from SCRIPT_PATH, from the output of
// `squeue --array --noheader --format=<squeue_format>` (one line per task).
std::vector<QueuedTask> queued_tasks(const std::string& squeue_output,
                                     const std::string& script_path);

}  // namespace qv::runs
