#include "shell/unsaved_changes.h"

#include "platform/qt/qt_ui.h"
#include "scenario/options_file.h"
#include "shell/file_menu.h"

namespace qv {

std::string unsaved_question(const Session& s, Leaving why) {
    return "The scenario has changes that are not saved in " + s.option_file_path() +
           ".\nSave them " +
           (why == Leaving::closing ? "before closing?" : "before opening another file?");
}

namespace {

std::string runs_note(const BatchActivity& a) {
    std::string text = "\n\nBatch runs are still going on: " + std::to_string(a.running) +
                       " running, " + std::to_string(a.queued) +
                       " queued. Closing stops them: their models are ended, and their message "
                       "and output files may be incomplete.";
    if (a.slurm)
        text += "\n\nThe campaign's tasks submitted to Slurm keep running on the cluster.";
    return text;
}

}  // namespace

bool confirm_unsaved_changes(Session& s, BatchCampaign& campaign, Leaving why) {
    const bool runs = why == Leaving::closing && campaign.local_active();
    if (!has_unsaved_changes(s))
        return !runs || confirm_end_with_batch_runs(s, campaign);
    std::string text = unsaved_question(s, why);
    if (runs)
        text += runs_note(campaign.activity());
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
        campaign.stop();
    return true;
}

}  // namespace qv
