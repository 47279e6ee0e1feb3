#pragma once

#include <string>

#include "scenario/session.h"

namespace qv {

// The question asked when another copy of the program already holds the instance lock.
std::string already_running_text();

// First-run prompts: each sets its values, or shows its message and ends the program (without
// the orderly exit). After a choice the current directory is app_dir again.
void select_model(Session& s);
void select_option_template(Session& s);
void name_new_option_file(Session& s);
void select_data_dir(Session& s);
// There may be no reporting tool on this platform: a cancel leaves access_exe empty after its
// message, and reports stay off, instead of ending the program.
void select_access(Session& s);

// The five prompts in order, then qv-gui.ini written in app_dir.
void first_run_setup(Session& s);

// The demo workspace that an installed copy offers on its first start (host paths).
struct DemoOffer {
    std::string demo_dir;       // the bundled workspace, holding model/
    std::string model_program;  // the stand-in model, beside the executable
    std::string workspace;      // where the user's copy goes
};

// Asked on the first start, before the prompts. Yes copies the demo workspace (a copy already
// there is kept) and writes qv-gui.ini naming it: true. No, or a copy that fails (after its
// message), changes nothing: false, and the prompts follow.
bool offer_demo_workspace(Session& s, const DemoOffer& offer);

}  // namespace qv
