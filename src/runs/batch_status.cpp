#include "runs/batch_status.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace qv::runs {

std::string_view state_name(ScenarioState state) {
    switch (state) {
        case ScenarioState::never_run:
            return "never run";
        case ScenarioState::running:
            return "running";
        case ScenarioState::done:
            return "done";
        case ScenarioState::failed:
            return "failed";
        case ScenarioState::out_of_date:
            return "out of date";
    }
    return "never run";
}

bool ScenarioStatus::finished() const {
    return record.state == ScenarioState::done && slurm_task.empty();
}

bool BatchStatus::all_finished() const {
    for (const auto& s : scenarios)
        if (!s.finished())
            return false;
    return true;
}

BatchStatus batch_status(const Campaign& campaign, const std::vector<ScenarioOutputs>& outputs,
                         const RecordCheck& check, const std::vector<QueuedTask>& queued,
                         const std::vector<SlurmTask>& tasks) {
    std::map<std::string, const QueuedTask*> queued_by_file;
    for (const auto& q : queued) {
        if (q.task < 0 || static_cast<std::size_t>(q.task) >= tasks.size())
            continue;
        // A later submission of the same script stands for the scenario's latest run.
        auto& slot = queued_by_file[same_file_key(tasks[q.task].options_file)];
        if (!slot || std::stoll(q.job_id) > std::stoll(slot->job_id))
            slot = &q;
    }

    BatchStatus status;
    for (std::size_t i = 0; i < campaign.entries.size(); ++i) {
        ScenarioStatus s;
        s.entry = campaign.entries[i];
        if (i < outputs.size()) {
            s.output_data = outputs[i].output_data;
            s.record = check(s.entry, outputs[i]);
        }
        if (auto it = queued_by_file.empty() ? queued_by_file.end()
                                             : queued_by_file.find(same_file_key(s.entry.path));
            it != queued_by_file.end()) {
            s.slurm_task = it->second->job_id + "_" + std::to_string(it->second->task);
            s.slurm_state = it->second->state;
            // The record tells of the run before; the one Slurm runs now is what matters.
            if (s.slurm_state == "RUNNING" || s.slurm_state == "CONFIGURING" ||
                s.slurm_state == "COMPLETING")
                s.record.state = ScenarioState::running;
        }
        status.scenarios.push_back(std::move(s));
    }
    return status;
}

std::string status_table(const BatchStatus& status) {
    std::size_t state_width = 11, slurm_width = 5;
    for (const auto& s : status.scenarios)
        slurm_width = std::max(slurm_width, s.slurm_state.size());

    auto pad = [](std::string text, std::size_t width) {
        text.resize(std::max(text.size(), width), ' ');
        return text;
    };
    std::ostringstream out;
    out << pad("line", 6) << pad("state", state_width + 2) << pad("slurm", slurm_width + 2)
        << "options file\n";
    std::map<ScenarioState, int> counts;
    for (const auto& s : status.scenarios) {
        ++counts[s.record.state];
        out << pad(std::to_string(s.entry.line), 6)
            << pad(std::string(state_name(s.record.state)), state_width + 2)
            << pad(s.slurm_state.empty() ? "-" : s.slurm_state, slurm_width + 2) << s.entry.path;
        if (!s.record.detail.empty())
            out << " (" << s.record.detail << ')';
        out << '\n';
    }
    out << status.scenarios.size() << " scenario(s):";
    const char* sep = " ";
    for (auto state : {ScenarioState::done, ScenarioState::running, ScenarioState::failed,
                       ScenarioState::out_of_date, ScenarioState::never_run}) {
        if (counts[state] == 0)
            continue;
        out << sep << counts[state] << ' ' << state_name(state);
        sep = ", ";
    }
    out << '\n';
    return out.str();
}

}  // namespace qv::runs
