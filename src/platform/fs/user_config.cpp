#include "platform/fs/user_config.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace qv {

namespace {

// An XDG base folder: the variable when it is set, else the folder below home (as Qt takes it,
// so that qvopt and qv-gui agree).
std::filesystem::path xdg_dir(const char* variable, const char* below_home) {
    const char* set = std::getenv(variable);
    if (set && set[0] != '\0')
        return set;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "") / below_home;
}

}  // namespace

std::string bundled_demo_dir(const std::string& app_dir) {
    const std::filesystem::path demo =
        (std::filesystem::path(app_dir) / ".." / "share" / "qv-gui" / "demo").lexically_normal();
    std::error_code ec;
    return std::filesystem::is_directory(demo / "model", ec) ? demo.string() : std::string();
}

bool keeps_settings_per_user(const std::string& app_dir) {
    return access(app_dir.c_str(), W_OK) != 0 || !bundled_demo_dir(app_dir).empty();
}

std::string user_config_dir() {
    return (xdg_dir("XDG_CONFIG_HOME", ".config") / "qv-gui").string();
}

std::string user_cache_dir() {
    return (xdg_dir("XDG_CACHE_HOME", ".cache") / "qv-gui").string();
}

std::string user_demo_workspace_dir() {
    return (xdg_dir("XDG_DATA_HOME", ".local/share") / "qv-gui-demo").string();
}

std::string copy_demo_workspace(const std::string& demo_dir, const std::string& model_program,
                                const std::string& workspace) {
    namespace fs = std::filesystem;
    const fs::path model = fs::path(workspace) / "model";
    if (!fs::is_directory(model)) {
        const fs::path partial = fs::path(workspace) / ".model.partial";
        fs::remove_all(partial);
        fs::create_directories(workspace);
        try {
            fs::copy(fs::path(demo_dir) / "model", partial, fs::copy_options::recursive);
            for (const auto& entry : fs::recursive_directory_iterator(partial))
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
            fs::rename(partial, model);
        } catch (const fs::filesystem_error&) {
            std::error_code ec;
            fs::remove_all(partial, ec);
            throw;
        }
    }
    const fs::path program = model / "qv-demo-model";
    fs::copy_file(model_program, program, fs::copy_options::overwrite_existing);
    fs::permissions(program, fs::perms::owner_all, fs::perm_options::add);
    return model.string();
}

}  // namespace qv
