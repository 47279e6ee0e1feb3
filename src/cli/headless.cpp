#include "cli/headless.h"

#include <filesystem>

#include "cli/exit_status.h"
#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "platform/fs/user_config.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/config.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/state_table.h"

namespace qv::cli {

std::string executable_dir(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec && argv0)
        self = std::filesystem::absolute(argv0, ec);
    return self.parent_path().string();
}

KeepCurrentDir::~KeepCurrentDir() {
    try {
        fs_.set_current_dir(dir_);
    } catch (const AppError&) {
        // The directory is gone: the next step reports what it cannot find.
    }
}

HeadlessSession::HeadlessSession(const CommonOptions& common, const char* argv0,
                                 ReferenceEngine* shared)
    : own_reference_(shared ? nullptr : make_reference_engine()),
      s{ui, fs, shared ? *shared : *own_reference_},
      common_(common),
      argv0_(argv0) {}

HeadlessSession::~HeadlessSession() = default;

bool HeadlessSession::set_up() {
    s.settings.msgbox_title = "US KQT QUARVEL MODEL";
    build_state_table(s.state_table);
    s.log.open_in_memory();
    s.settings.app_dir = fs.program_path(executable_dir(argv0_));
    return step([&] { configure(); });
}

bool HeadlessSession::open(const std::string& file) {
    return prepare(file) && step([&] { read_options_file(s); });
}

bool HeadlessSession::prepare(const std::string& file) {
    // The file name comes from the command line before anything can change the current
    // directory.
    const std::string path = fs.program_path(file);
    if (!set_up())
        return false;
    s.sc.option_file_name = split_file_name(path);
    s.sc.option_file_dir = split_dir(path);
    return true;
}

int HeadlessSession::status() const {
    switch (outcome_.exit) {
        case Outcome::Exit::Ended:
            return exit_status::ended;
        case Outcome::Exit::Chooser:
            return exit_status::chooser;
        case Outcome::Exit::Normal:
            break;
    }
    return exit_status::ok;
}

// The configuration's path checks may end the program, as at the program's start; the
// command-line directories then replace the configured ones.
void HeadlessSession::configure() {
    std::string config;
    if (!common_.config.empty()) {
        config = fs.program_path(common_.config);
    } else {
        // Where qv-gui keeps it: beside the executable, or in the per-user folder.
        if (keeps_settings_per_user(fs.host_path(s.settings.app_dir)))
            s.settings.settings_dir = fs.program_path(user_config_dir());
        std::string found = join_path(s.settings.files_dir(), "qv-gui.ini");
        auto facts = fs.facts(found);
        if (facts && !facts->is_dir)
            config = found;
    }
    if (!config.empty()) {
        s.settings.config_path = config;
        read_config_file(s);
    }
    if (!common_.model_dir.empty())
        s.settings.model_dir = fs.program_path(common_.model_dir);
    if (!common_.model_exe.empty())
        s.settings.model_exe = common_.model_exe;
    if (!common_.data_dir.empty())
        s.settings.data_dir = fs.program_path(common_.data_dir);
}

}  // namespace qv::cli
