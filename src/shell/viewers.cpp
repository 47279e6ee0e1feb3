#include "shell/viewers.h"

#include <array>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "qv_version.h"
#include "scenario/line_io.h"
#include "scenario/text.h"

namespace qv {

namespace {

const char* const viewer_failure =
    "Problem starting Notepad\nMake sure notepad.exe exists and is in your path.";

std::string reports_dir(const ShellSettings& settings) {
    return join_path(settings.model_dir, "reports");
}

}  // namespace

void start_text_viewer(Session& s, Processes& processes, const std::string& path) {
    try {
        processes.start_detached(text_viewer_program, {s.fs.host_path(path)}, "");
    } catch (const AppError&) {
        s.message(viewer_failure, Icon::Exclamation);
    }
}

std::string reports_command_line(const ShellSettings& settings) {
    const std::string dir = reports_dir(settings);
    return settings.access_exe + " " + join_path(dir, "reports.mdb") + " /ini " +
           join_path(dir, "quarvel.ini");
}

void start_reporting_utility(Session& s, Processes& processes) {
    const ShellSettings& cfg = s.settings;
    if (cfg.access_exe.empty())
        return;
    const std::string dir = reports_dir(cfg);
    try {
        s.fs.set_current_dir(dir);
        processes.start_detached(s.fs.host_path(cfg.access_exe),
                                 {s.fs.host_path(join_path(dir, "reports.mdb")), "/ini",
                                  s.fs.host_path(join_path(dir, "quarvel.ini"))},
                                 s.fs.host_path(dir));
    } catch (const AppError& e) {
        if (e.number() == err::overflow)
            return;
        s.message("Problem starting the Reporting Utility\nCommand string: \n\n" +
                      lower(reports_command_line(cfg)) +
                      "\n\nMake sure all of the compenents exist and are in the correct path.",
                  Icon::Exclamation);
    }
}

std::string message_file_path(const Scenario& sc) {
    if (sc.message_file_name.find_first_of("\\/") != std::string::npos)
        return sc.message_file_name;
    return join_path(sc.message_dir, sc.message_file_name);
}

std::vector<std::string> file_status_lines(const Session& s) {
    const ShellSettings& cfg = s.settings;
    const Scenario& sc = s.sc;
    return {
        "Model Directory " + lower(cfg.model_dir),
        "Model executable " + lower(cfg.model_exe),
        "Input option file " + lower(sc.option_file_name),
        "Data directory " + lower(cfg.data_dir),
        "Access executable " + lower(cfg.access_exe),
        "Option file " + lower(join_path(sc.option_file_dir, sc.option_file_name)),
        "Output file " + lower(join_path(sc.output_dir, sc.output_file_name)),
        "Message file " + lower(join_path(sc.message_dir, sc.message_file_name)),
    };
}

std::string version_text() {
    return std::string("Version ") + program_version_text;
}

std::string about_detail_text(const std::string& executable, const std::string& modified,
                              const std::string& arguments) {
    if (!arguments.empty())
        return arguments;
    return executable + "  " + modified;
}

std::string settings_place_text(const ShellSettings& settings) {
    if (settings.settings_dir.empty() || settings.settings_dir == settings.app_dir)
        return "";
    return "qv-gui.ini and region.txt in " + settings.settings_dir;
}

std::vector<std::string> diag_packet_lines(const std::string& bytes) {
    static const std::array<const char*, 9> listed = {
        "/ALLOC FILES/",       "/POP FILES/", "/REGION/",   "/GROWTH FILES/",   "/EMFAC FILES/",
        "/DETERIORATE FILES/", "/PERIOD/",    "/RUNFILES/", "/SOURCE CATEGORY/"};
    const std::vector<std::string> lines = split_lines(bytes);
    std::vector<std::string> out;
    if (lines.empty())
        return out;
    out.push_back(lines[0]);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        bool is_listed = false;
        for (const char* header : listed)
            is_listed = is_listed || lines[i] == header;
        if (!is_listed)
            continue;
        out.push_back(lines[i]);
        for (++i; i < lines.size() && lines[i].find("/END/") == std::string::npos; ++i)
            out.push_back(lines[i]);
    }
    return out;
}

}  // namespace qv
