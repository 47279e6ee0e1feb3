#pragma once

#include <string>

namespace qv {

// Where a copy of qv-gui or qvopt keeps qv-gui.ini and the run log. Paths are host paths.

// The demo workspace that an installed copy brings along (<app_dir>/../share/qv-gui/demo), or
// empty when there is none beside the executable, as in a build tree.
std::string bundled_demo_dir(const std::string& app_dir);

// True when the files go to the per-user folder: the executable's folder is not writable by
// this user, or the copy is installed (it has a bundled demo), so that an installed program
// never writes beside itself, also when run as root. Any other folder keeps them beside the
// executable.
bool keeps_settings_per_user(const std::string& app_dir);

// The per-user configuration folder: $XDG_CONFIG_HOME/qv-gui when that is set, else
// $HOME/.config/qv-gui (Qt's application configuration location on this platform).
std::string user_config_dir();

// The per-user cache folder: $XDG_CACHE_HOME/qv-gui, else $HOME/.cache/qv-gui. What is kept
// there can be made again from the user's files, and may go at any time.
std::string user_cache_dir();

// The per-user data folder that the demo workspace is copied to: $XDG_DATA_HOME/qv-gui-demo,
// else $HOME/.local/share/qv-gui-demo.
std::string user_demo_workspace_dir();

// Copies the bundled demo workspace's model folder to <workspace>/model, unless a copy is there
// already (it keeps the user's edits), and puts the stand-in model program in it, so that the
// copy runs as the demo does. Every copied file is writable by its owner. A copy that fails
// part-way leaves no model folder behind. Returns the model folder; throws
// std::filesystem::filesystem_error.
std::string copy_demo_workspace(const std::string& demo_dir, const std::string& model_program,
                                const std::string& workspace);

}  // namespace qv
