#include "cli/batch_slurm_command.h"
#include "platform/fs/host_file_system.h"
#include "platform/hash/openssl_hasher.h"
#include "runs/run_lock.h"
#include "runs/run_record.h"

namespace qv::cli {

// A scenario's state is what its run record says when checked against the disk.
runs::RecordView record_check(const runs::CampaignEntry&, const runs::ScenarioOutputs& outputs,
                              runs::SeenFiles* seen) {
    if (outputs.output_data.empty())
        return {runs::ScenarioState::never_run, {}};
    HostFileSystem fs;
    OpensslHasher hasher;
    const std::string record = runs::record_path_for(fs, outputs.output_data);
    // A run under way on this machine, from qvopt or from the Batch window, holds the lock.
    if (auto holder = runs::run_lock_holder(record))
        return {runs::ScenarioState::running, "in " + runs::describe(*holder)};
    const runs::RecordStatus st = runs::check_record(record, fs, hasher, seen);
    switch (st.state) {
        case runs::RecordState::up_to_date:
            return {runs::ScenarioState::done, {}};
        case runs::RecordState::never_run:
            return {runs::ScenarioState::never_run, {}};
        case runs::RecordState::failed:
            return {runs::ScenarioState::failed, runs::describe(st)};
        case runs::RecordState::out_of_date:
        case runs::RecordState::unreadable:
            break;
    }
    return {runs::ScenarioState::out_of_date, runs::describe(st)};
}

}  // namespace qv::cli
