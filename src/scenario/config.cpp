#include "scenario/config.h"

#include <vector>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "scenario/line_io.h"

namespace qv {

std::string config_value(const std::string& line) {
    return line.substr(0, line.find('\t'));
}

bool file_exists(const FileSystem& fs, const std::string& path, int attributes) {
    return !fs.list(path, attributes).empty();
}

ConfigOutcome read_config_file(Session& s) {
    ShellSettings& cfg = s.settings;
    std::vector<std::string> lines;
    try {
        lines = split_lines(s.fs.read_file(cfg.config_path));
    } catch (const AppError&) {
    }
    // An older qv-gui.ini may hold "\" separators: its paths are the host's, so they take
    // the host's form.
    auto value = [&](std::size_t i) {
        return i < lines.size() ? with_host_separators(config_value(lines[i])) : std::string();
    };
    auto check = [&](const std::string& path, int attributes) {
        if (file_exists(s.fs, path, attributes))
            return;
        s.message(path + " does not exist. Correct qv-gui.ini and retry.");
        s.fini();
    };

    ConfigOutcome outcome;
    cfg.model_dir = value(0);
    cfg.model_exe = value(1);
    check(join_path(cfg.model_dir, cfg.model_exe), attr_normal);
    s.sc.option_file_name = value(2);
    check(join_path(cfg.model_dir, s.sc.option_file_name), attr_normal);
    s.sc.save_file_name = value(3);
    check(join_path(cfg.model_dir, s.sc.save_file_name), attr_normal);
    cfg.data_dir = value(4);
    check(cfg.data_dir, attr_directory);
    cfg.access_exe = value(5);
    if (cfg.access_exe.empty())
        outcome.reports_enabled = false;
    else
        check(cfg.access_exe, attr_normal);
    return outcome;
}

void write_config_file(Session& s) {
    const ShellSettings& cfg = s.settings;
    const std::pair<std::string, const char*> lines[] = {
        {cfg.model_dir, ":model directory"},
        {cfg.model_exe, ":model executable"},
        {s.sc.option_file_name, ":input option file"},
        {s.sc.save_file_name, ":output option file"},
        {cfg.data_dir, ":Data dir"},
        {cfg.access_exe, ":ACCESS executable"},
    };
    std::string bytes;
    for (const auto& [v, key] : lines)
        bytes += v + "\t" + key + "\r\n";
    s.fs.write_file_atomic(join_path(cfg.files_dir(), "qv-gui.ini"), bytes);
}

}  // namespace qv
