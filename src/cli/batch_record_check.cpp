#include "cli/batch_slurm_command.h"

#include <algorithm>
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
        // The output is looked at once: for its record's name, its state and its size.
        const std::string record = runs::record_path_for(fs, outputs.output_data, *seen);
        std::string on_disk;
        view.output_facts = seen->host_facts(fs, outputs.output_data, on_disk);
        // A run under way on this machine, from qvopt or from the Batch window, holds the lock.
        if (auto holder = runs::run_lock_holder(record)) {
            view.state = runs::ScenarioState::running;
            view.detail = "in " + runs::describe(*holder);
            return view;
        }
        const runs::RecordStatus st = runs::check_record_briefly(record, fs, hasher, *seen);
        if (st.record) {
            const runs::RunRecord& r = *st.record;
            view.ended_ms = r.ended_ms;
            view.duration_ms = r.ended_ms - r.started_ms;
            view.stopped = r.stopped != runs::StopReason::none;
            if (!r.succeeded())
                view.output_older = std::none_of(r.results.begin(), r.results.end(), [](auto& f) {
                    return f.role == "output" && f.written_by_this_run;
                });
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
