#pragma once

#include <optional>
#include <string>

#include "platform/ui.h"
#include "scenario/packets.h"
#include "scenario/session.h"

namespace qv {

// The open chooser behind every "Change...", "<<Change" and "Add..." button of the advanced
// dialogs. With `check_83`, a name longer than 8 characters before its first period brings the
// chooser back after its warning, and a name without a period ends the pick as a cancel. A
// chosen path leaves the current directory at app_dir. nullopt: nothing was picked.
std::optional<std::string> pick_file(Session& s, ChooserRequest request, bool check_83);

// The box shown when a named file is missing: the text followed by " does not exist".
void report_missing_file(Session& s, const std::string& text);

}  // namespace qv
