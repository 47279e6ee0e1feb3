#pragma once

#include "scenario/session.h"

namespace qv {

// The File menu's Open (0), Save (1) and Save as (2), each with its error branch; the current
// directory ends at app_dir.
void file_menu(Session& s, int index);

}  // namespace qv
