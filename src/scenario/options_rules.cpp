#include "scenario/options_rules.h"

#include <cmath>
#include <cstdlib>
#include <map>

#include "scenario/text.h"

namespace qv {

namespace {

struct NamedRange {
    const char* control;
    Range range;
};

constexpr NamedRange ranges[] = {
    {"fulrvp", {6, 16}},     {"pcoxygen", {0, 5}},          {"so2gas", {0, 0.5}},
    {"so2diesel", {0, 0.5}}, {"so2marinediesel", {0, 0.5}}, {"cngsulfur", {0, 0.5}},
    {"Mintemp", {-40, 120}}, {"Maxtemp", {-40, 120}},       {"Avgtemp", {-40, 120}},
    {"EtOHvolPct", {0, 20}}, {"BlendMktShare", {0, 100}},   {"Stage2", {0, 100}},
};

}  // namespace

const char* const temperature_order_message = "Minimum temperature exceeds Maximum temperature";
const char* const average_message = "Average must be between Minimum and Maximum";

const std::array<const char*, 11> checked_boxes = {
    "fulrvp",  "pcoxygen", "so2gas",  "so2diesel",     "so2marinediesel", "cngsulfur",
    "Mintemp", "Maxtemp",  "Avgtemp", "BlendMktShare", "EtOHvolPct"};

double box_value(std::string_view text) {
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            compact += c;
    std::size_t n = number_length(compact);
    if (n == 0)
        return 0.0;
    std::string number = compact.substr(0, n);
    for (char& c : number)
        if (c == 'D' || c == 'd')
            c = 'E';
    return std::strtod(number.c_str(), nullptr);
}

std::optional<Range> box_range(std::string_view control) {
    for (const auto& r : ranges)
        if (control == r.control)
            return r.range;
    return std::nullopt;
}

std::string invalid_range_message(Range r) {
    return "Invalid " + general_number(r.minimum) + " to " + general_number(r.maximum);
}

bool within_range(std::string_view text, Range r) {
    if (text == refusal_marker)
        return false;
    double v = box_value(text);
    return !(v < r.minimum || v > r.maximum || std::isnan(v));
}

double suggested_oxygen(double blend_share, double etoh_volume) {
    // nearbyint rounds a half to the even neighbour in the default rounding mode.
    return std::nearbyint(blend_share * 100 * etoh_volume * 0.35 * 0.01) / 100;
}

bool oxygen_mismatch(double blend_share, double etoh_volume, double oxygen) {
    return std::fabs(etoh_volume * 0.35 * 0.01 * blend_share - oxygen) > 0.1;
}

std::string oxygen_warning(double suggested) {
    return "Caution, Check to be sure this is what you want:\n"
           "Oxygen content (exhaust effect) mismatch with Ethanol Blend Mkt Share & Vol % "
           "(evap effect).\n"
           "\n"
           "May want to set OxyWtPct = " +
           general_number(suggested) +
           " \n"
           "which makes it all consistent per equation:\n"
           "OxyWtPct = EtOHblendMktPct * EtOHvolPct * 0.35 * 0.01";
}

std::string limits(Session& s, const OptionsBoxes& boxes, const std::string& control, Range r) {
    s.sc.options_changed = true;
    if (within_range(boxes.text(control), r))
        return {};
    boxes.set_text(control, refusal_marker);
    s.untitled_message(invalid_range_message(r));
    return control;
}

std::string check_data(Session& s, const OptionsBoxes& boxes, const std::string& control) {
    auto r = box_range(control);
    return r ? limits(s, boxes, control, *r) : std::string();
}

std::string check_all(Session& s, const OptionsBoxes& boxes) {
    for (const char* control : checked_boxes) {
        std::string failed = check_data(s, boxes, control);
        if (!failed.empty())
            return failed;
    }
    auto value = [&](const char* control) { return box_value(boxes.text(control)); };
    double blend = value("BlendMktShare"), etoh = value("EtOHvolPct");
    if (oxygen_mismatch(blend, etoh, value("pcoxygen")))
        s.message(oxygen_warning(suggested_oxygen(blend, etoh)), Icon::Exclamation);

    std::string failed = check_data(s, boxes, "Stage2");
    if (!failed.empty())
        return failed;

    if (value("Maxtemp") < value("Mintemp")) {
        s.untitled_message(temperature_order_message);
        failed = "Maxtemp";
    }
    // Runs after the order check whatever it found: mis-ordered limits give both messages.
    if (value("Avgtemp") > value("Maxtemp") || value("Mintemp") > value("Avgtemp")) {
        s.untitled_message(average_message);
        return "Avgtemp";
    }
    return failed;
}

std::string check_scenario_options(Session& s) {
    std::map<std::string, std::string> shown;
    for (const auto& box : option_boxes)
        shown[box.control] = s.sc.*box.value;
    shown["Stage2"] = s.sc.stage2_present ? s.sc.stage2str : std::string("0");
    OptionsBoxes boxes{
        [&](const std::string& control) { return shown[control]; },
        [&](const std::string& control, const std::string& text) { shown[control] = text; }};
    return check_all(s, boxes);
}

}  // namespace qv
