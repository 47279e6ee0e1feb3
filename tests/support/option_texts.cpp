#include "support/option_texts.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace qv::test::fixture {

namespace {

using Field = std::pair<const char*, const std::string*>;

std::string value_line(const std::string& label, const std::string& value,
                       bool as_written = false) {
    std::string line = label;
    line.resize(19, ' ');
    line += ':';
    if (!value.empty() || as_written)
        line += ' ' + value;
    return line;
}

std::string lines_packet(const std::string& header, const std::vector<std::string>& lines) {
    std::string r = header + "\r\n";
    for (const auto& l : lines)
        r += l + "\r\n";
    return r + "/END/\r\n";
}

std::string fields_packet(const std::string& header, std::initializer_list<Field> fields,
                          bool as_written = false) {
    std::vector<std::string> lines;
    for (const auto& [label, value] : fields)
        if (value)
            lines.push_back(value_line(label, *value, as_written));
    return lines_packet(header, lines);
}

}  // namespace

std::string packet(const std::string& header, std::initializer_list<std::string> lines) {
    return lines_packet(header, lines);
}

std::string options(const OptionsValues& v) {
    return fields_packet("/OPTIONS/",
                         {{"Title 1", &v.title1},
                          {"Title 2", &v.title2},
                          {"Fuel RVP for gas", &v.rvp},
                          {"Oxygen Weight %", &v.oxygen},
                          {"Gas sulfur %", &v.gas_sulfur},
                          {"Diesel sulfur %", &v.diesel_sulfur},
                          {"Marine Dsl sulfur %", v.marine_sulfur ? &*v.marine_sulfur : nullptr},
                          {"CNG/LPG sulfur %", &v.cng_sulfur},
                          {"Minimum temper. (F)", &v.min_temp},
                          {"Maximum temper. (F)", &v.max_temp},
                          {"Average temper. (F)", &v.avg_temp},
                          {"Altitude of region", &v.altitude},
                          {"EtOH Blend % Mkt", &v.etoh_blend},
                          {"EtOH Vol %", &v.etoh_volume}});
}

std::string period(const PeriodValues& v) {
    return fields_packet("/PERIOD/",
                         {{"Period type", &v.type},
                          {"Summation type", &v.summation},
                          {"Year of episode", &v.year},
                          {"Season of year", &v.season},
                          {"Month of year", &v.month},
                          {"Weekday or weekend", &v.day},
                          {"Year of growth calc", &v.growth_year},
                          {"Year of tech sel", &v.tech_year}},
                         v.as_written);
}

std::string region(const std::string& level, std::initializer_list<std::string> entries) {
    std::vector<std::string> lines = {value_line("Region Level", level)};
    lines.insert(lines.end(), entries);
    return lines_packet("/REGION/", lines);
}

std::string runfiles(const std::string& message, const std::string& output,
                     std::initializer_list<std::string> before) {
    std::vector<std::string> lines = before;
    lines.push_back(value_line("MESSAGE", message));
    lines.push_back(value_line("OUTPUT DATA", output));
    return lines_packet("/RUNFILES/", lines);
}

std::string empty_file_lists() {
    return packet("/ALLOC FILES/") + packet("/POP FILES/") + packet("/EMFAC FILES/");
}

std::string california_file_lists() {
    return packet("/ALLOC FILES/", {"Allocation File    : c:\\data\\allocate\\ca_pop.alo"}) +
           packet("/POP FILES/", {"Population File    : c:\\data\\pop\\ca.pop"}) +
           packet("/EMFAC FILES/", {"THC exhaust        : c:\\data\\emsfac\\exhthc.emf"});
}

std::string plain_options_period_region() {
    return options() + period() + region("US TOTAL");
}

std::string plain_scenario(const std::string& message, const std::string& output) {
    return runfiles(message, output) + plain_options_period_region() + empty_file_lists();
}

std::vector<std::string> packet_lines(const std::vector<std::string>& lines,
                                      const std::string& header) {
    auto start = std::find(lines.begin(), lines.end(), header);
    if (start == lines.end())
        return {};
    auto end = std::find(start, lines.end(), "/END/");
    return {start, end == lines.end() ? end : end + 1};
}

}  // namespace qv::test::fixture
