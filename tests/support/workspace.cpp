#include "support/workspace.h"

#include <filesystem>

#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/query_text.h"
#include "scenario/state_table.h"

namespace qv::test {

Workspace::Workspace() {
    std::filesystem::create_directories(dir.path() / "model");
    prepare_session(s);
    s.settings.app_dir = program("");
    s.settings.model_dir = program("model");
    s.view = &view;
    ref.default_columns = {"COUNTY"};
}

std::string Workspace::program(const std::string& relative) const {
    return fs.program_path((dir.path() / relative).lexically_normal().string());
}

std::string Workspace::write(const std::string& relative, const std::string& bytes) const {
    return fs.program_path(dir.write(relative, bytes));
}

void Workspace::set_current(const std::string& relative) {
    std::string p = program(relative);
    s.sc.option_file_name = split_file_name(p);
    s.sc.option_file_dir = split_dir(p);
}

void Workspace::load(const std::string& relative, const std::string& bytes) {
    write(relative, bytes);
    set_current(relative);
    read_options_file(s);
}

void Workspace::county(const std::string& code, const std::string& name) {
    ref.answer(county_query(code), {"COUNTY"}, {name});
}

void Workspace::source(const std::string& scc, const std::string& equip, const std::string& cls,
                       const std::string& engine) {
    ref.answer(source_query(scc), {"SCC", "EQUIP", "Engine Type", "Classification"},
               {scc, equip, engine, cls});
}

void prepare_session(Session& s) {
    s.settings.msgbox_title = "US KQT QUARVEL MODEL";
    s.now_text = [] { return std::string("12/9/2026 1:02:03 PM"); };
    s.log.open_in_memory();
    build_state_table(s.state_table);
}

void read_demo_scenario(Session& s) {
    s.sc.option_file_dir = s.settings.model_dir;
    s.sc.option_file_name = "demo.opt";
    read_options_file(s);
}

std::string crlf(std::initializer_list<std::string> lines) {
    std::string r;
    for (const auto& l : lines)
        r += l + "\r\n";
    return r;
}

}  // namespace qv::test
