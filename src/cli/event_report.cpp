#include "cli/event_report.h"

namespace qv::cli {

namespace {

const char* icon_name(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return "information";
        case Icon::Exclamation:
            return "exclamation";
        case Icon::Question:
            return "question";
        case Icon::None:
            break;
    }
    return "none";
}

std::string one_line(const std::string& text) {
    std::string s;
    for (char c : text) {
        if (c == '\n')
            s += "\\n";
        else if (c == '\r')
            s += "\\r";
        else
            s += c;
    }
    return s;
}

}  // namespace

nlohmann::ordered_json events_json(const std::vector<UiEvent>& events, const Outcome& outcome) {
    auto list = nlohmann::ordered_json::array();
    for (const auto& e : events) {
        nlohmann::ordered_json j;
        j["kind"] = e.kind;
        if (e.kind == "message") {
            j["text"] = e.text;
            j["title"] = e.title ? nlohmann::ordered_json(*e.title) : nullptr;
            j["icon"] = icon_name(e.icon);
            j["buttons"] = is_yes_no(e.buttons)                ? "yesno"
                           : e.buttons == Buttons::YesNoCancel ? "yesnocancel"
                                                               : "ok";
        } else {
            j["title"] = e.request.title;
            j["filter"] = e.request.filter;
            j["initial_dir"] = e.request.initial_dir;
            j["initial_name"] = e.request.initial_name;
        }
        list.push_back(std::move(j));
    }
    if (outcome.exit == Outcome::Exit::Ended)
        list.push_back({{"kind", "end"}, {"fini", outcome.fini}});
    return list;
}

void write_event_lines(std::ostream& out, const std::vector<UiEvent>& events,
                       const Outcome& outcome) {
    for (const auto& e : events) {
        if (e.kind == "message") {
            out << "message (" << icon_name(e.icon)
                << (is_yes_no(e.buttons)                ? ", yes/no"
                    : e.buttons == Buttons::YesNoCancel ? ", yes/no/cancel"
                                                        : "")
                << ", " << one_line(e.title.value_or(application_title))
                << "): " << one_line(e.text) << '\n';
        } else {
            out << (e.kind == "save_chooser" ? "save chooser" : "open chooser") << " \""
                << one_line(e.request.title) << "\": cancelled\n";
        }
    }
    if (outcome.exit == Outcome::Exit::Ended)
        out << (outcome.fini ? "program ended (orderly exit)\n" : "program ended\n");
    else if (outcome.exit == Outcome::Exit::Chooser)
        out << "stopped: the program would ask for another options file\n";
}

}  // namespace qv::cli
