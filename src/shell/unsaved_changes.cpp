#include "shell/unsaved_changes.h"

#include "platform/qt/qt_ui.h"
#include "scenario/options_file.h"
#include "shell/batch_campaign.h"
#include "shell/file_menu.h"

namespace qv {

std::string unsaved_question(const Session& s, Leaving why) {
    return "The scenario has changes that are not saved in " + s.option_file_path() +
           ".\nSave them " +
           (why == Leaving::closing ? "before closing?" : "before opening another file?");
}

namespace {

std::string runs_note(const BatchCampaign& jobs) {
    std::string text =
        "\n\nBatch runs are still going on: " + std::to_string(jobs.running_count()) +
        " running, " + std::to_string(jobs.queued_count()) +
        " queued. Closing stops them: their models are ended, and their message "
        "and output files may be incomplete.";
    if (jobs.slurm_active())
        text += "\n\nThe campaign's tasks submitted to Slurm keep running on the cluster.";
    return text;
}

}  // namespace

bool confirm_unsaved_changes(Session& s, BatchCampaign* campaign, Leaving why) {
    BatchCampaign* jobs = why == Leaving::closing ? campaign : nullptr;
    const bool runs = jobs && jobs->local_active();
    if (!has_unsaved_changes(s))
        return !runs || confirm_end_with_batch_runs(s, *jobs);
    std::string text = unsaved_question(s, why);
    if (runs)
        text += runs_note(*jobs);
    switch (s.message(text, Icon::Question, Buttons::YesNoCancel)) {
        case Button::Yes:
            if (!menu_save(s))
                return false;
            break;
        case Button::No:
            break;
        default:
            return false;
    }
    if (runs)
        jobs->stop();
    return true;
}

}  // namespace qv
