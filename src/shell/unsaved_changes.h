#pragma once

#include <string>

#include "scenario/session.h"
#include "shell/batch_campaign.h"

namespace qv {

// What would leave the scenario's unsaved changes behind: ending qv-gui or reading another file.
enum class Leaving { closing, opening };

// "The scenario has changes that are not saved in FILE.\nSave them before closing?" (for
// opening: "before opening another file?").
std::string unsaved_question(const Session& s, Leaving why);

// Asks before the scenario's unsaved changes would be lost, with Yes, No and Cancel: Yes saves
// through File > Save (a refused save stays), No goes on without saving, Cancel stays. When
// qv-gui is closing while local batch runs go on, the one question covers them too, and going
// on stops them. True: go on.
bool confirm_unsaved_changes(Session& s, BatchCampaign& campaign, Leaving why);

}  // namespace qv
