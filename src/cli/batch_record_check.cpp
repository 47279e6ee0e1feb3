#include "cli/batch_slurm_command.h"

#include <memory>

#include "platform/fs/host_file_system.h"
#include "runs/run_lock.h"
#include "runs/run_record.h"

namespace qv::cli {

// A scenario's state is what its run record says when checked against the disk.
runs::RecordCheck record_checker(const Hasher& hasher) {
    auto seen = std::make_shared<runs::SeenFiles>();
    return [&hasher, seen](const runs::CampaignEntry&, const runs::ScenarioOutputs& outputs) {
        runs::RecordView view;
        if (outputs.output_data.empty())
            return view;
        HostFileSystem fs;
        const std::string record = runs::record_path_for(fs, outputs.output_data);
        // A run under way on this machine, from qvopt or from the Batch window, holds the lock.
        if (auto holder = runs::run_lock_holder(record)) {
            view.state = runs::ScenarioState::running;
            view.detail = "in " + runs::describe(*holder);
            return view;
        }
        const runs::RecordStatus st = runs::check_record(record, fs, hasher, seen.get());
        if (st.record) {
            view.ended_ms = st.record->ended_ms;
            view.duration_ms = st.record->ended_ms - st.record->started_ms;
        }
        switch (st.state) {
            case runs::RecordState::up_to_date:
                view.state = runs::ScenarioState::done;
                break;
            case runs::RecordState::never_run:
                view.state = runs::ScenarioState::never_run;
                break;
            case runs::RecordState::failed:
                // How the run ended, as every report of a run says it.
                view.state = runs::ScenarioState::failed;
                view.detail = st.why;
                break;
            case runs::RecordState::out_of_date:
            case runs::RecordState::unreadable:
                view.state = runs::ScenarioState::out_of_date;
                view.detail = runs::describe(st);
                break;
        }
        return view;
    };
}

}  // namespace qv::cli
