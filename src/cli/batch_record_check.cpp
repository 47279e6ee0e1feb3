#include <filesystem>

#include "cli/batch_slurm_command.h"

namespace qv::cli {

// The output data file stands for the run until its run record is read here: missing, the
// scenario never ran; older than the options file, it is out of date.
runs::RecordView record_check(const runs::CampaignEntry& entry,
                              const runs::ScenarioOutputs& outputs) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto output_time = fs::last_write_time(outputs.output_data, ec);
    if (ec || outputs.output_data.empty())
        return {runs::ScenarioState::never_run, {}};
    const auto options_time = fs::last_write_time(entry.path, ec);
    if (!ec && options_time > output_time)
        return {runs::ScenarioState::out_of_date, entry.path + " changed"};
    return {runs::ScenarioState::done, {}};
}

}  // namespace qv::cli
