#include <cmath>

#include "platform/app_error.h"
#include "platform/program_end.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

bool is_packet_end(std::string_view line) {
    return iequals(trimmed(line.substr(0, 5)), "/END/");
}

std::string_view packet_header_of(std::string_view line) {
    std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos || line[start] != '/')
        return {};
    line.remove_prefix(start);
    for (std::string_view h : packet_headers)
        if (line.size() >= h.size() && iequals(line.substr(0, h.size()), h))
            return h;
    return {};
}

bool ends_at_header(LineReader& in, std::string_view line) {
    if (packet_header_of(line).empty())
        return false;
    in.unread();
    return true;
}

PacketEnd::PacketEnd(std::string_view header) : rule_(Rule::first_five) {
    if (header == "/EMFAC FILES/" || header == "/DETERIORATE FILES/")
        rule_ = Rule::trimmed;
    else if (header == "/REGION/")
        rule_ = Rule::value;
    else if (header == "/PERIOD/")
        rule_ = Rule::ninth_line;
}

bool PacketEnd::take(std::string_view line) {
    ++lines_;
    switch (rule_) {
        case Rule::first_five:
            return is_packet_end(line);
        case Rule::trimmed:
            return starts_with_upper(trimmed(line), "/END/");
        case Rule::value:
            return line_value(line) == "/END/";
        case Rule::ninth_line:
            return lines_ == 9;
    }
    return false;
}

bool packet_ends(LineReader& in, PacketEnd& end, std::string_view line) {
    if (ends_at_header(in, line))
        return true;
    if (!end.take(line))
        return false;
    in.mark_closed();
    return true;
}

std::string missing_end_text(std::string_view header, bool at_file_end) {
    return "The " + std::string(header) + " packet has no /END/ line: it ends " +
           (at_file_end ? "at the end of the file" : "where the next packet begins") +
           ".\nPlease check the options file.";
}

namespace {

void value_line(LineWriter& out, const char* label, const std::string& value) {
    out.line(std::string(label) + value);
}

void caution(Session& s, const std::string& text) {
    s.message(text + "\nPlease check Scenario: Options.", Icon::Exclamation);
}

void options_end_checks(Session& s, int n) {
    Scenario& sc = s.sc;
    if (strict_number(sc.pcoxygenstr) > 0 && n < 15) {
        caution(s, "CAUTION: Missing ethanol blend info.");
        return;
    }
    double d = std::fabs(lenient_number(sc.etohvolpctstr) * 0.35 * 0.01 *
                             lenient_number(sc.blendmktsharestr) -
                         lenient_number(sc.pcoxygenstr));
    if (d > 0.1)
        caution(s, "CAUTION: Oxygen content mismatch with Ethanol Blend Mkt Share & Vol %.");
}

}  // namespace

void read_options_packet(Session& s, LineReader& in) {
    Scenario& sc = s.sc;
    PacketEnd end("/OPTIONS/");
    sc.so2marinedieselstr.clear();
    sc.blendmktsharestr.clear();
    sc.etohvolpctstr.clear();
    int n = 0;
    bool take = true;
    std::string line;
    for (;;) {
        ++n;
        if (take) {
            if (in.eof())
                return;
            line = in.read();
        }
        take = true;
        if (packet_ends(in, end, line)) {
            options_end_checks(s, n);
            return;
        }
        std::string v = line_value(line);
        switch (n) {
            case 1:
                sc.title1str = v;
                break;
            case 2:
                sc.title2str = v;
                break;
            case 3:
                sc.fulrvpstr = v;
                break;
            case 4:
                sc.pcoxygenstr = v;
                break;
            case 5:
                sc.so2gasstr = v;
                break;
            case 6:
                sc.so2dieselstr = v;
                break;
            case 7:
                if (starts_with_upper(line, "MARINE"))
                    sc.so2marinedieselstr = v;
                else
                    take = false;
                break;
            case 8:
                sc.so2cngstr = v;
                break;
            case 9:
                sc.mintempstr = v;
                break;
            case 10:
                sc.maxtempstr = v;
                break;
            case 11:
                sc.avgtempstr = v;
                break;
            case 12:
                sc.altitudestr = v;
                break;
            case 13:
                if (starts_with_upper(line, "ETOH BLEND"))
                    sc.blendmktsharestr = v;
                else
                    caution(s, "CAUTION: Incorrect ethanol blend market share info.");
                break;
            case 14:
                if (starts_with_upper(line, "ETOH VOL"))
                    sc.etohvolpctstr = v;
                else
                    caution(s, "CAUTION: Incorrect ethanol blend volume percent info.");
                break;
            default:
                break;
        }
    }
}

void write_options_packet(Session& s, LineWriter& out) {
    const Scenario& sc = s.sc;
    out.line("/OPTIONS/");
    value_line(out, "Title 1            : ", sc.title1str);
    value_line(out, "Title 2            : ", sc.title2str);
    value_line(out, "Fuel RVP for gas   : ", sc.fulrvpstr);
    value_line(out, "Oxygen Weight %    : ", sc.pcoxygenstr);
    value_line(out, "Gas sulfur %       : ", sc.so2gasstr);
    value_line(out, "Diesel sulfur %    : ", sc.so2dieselstr);
    if (!sc.so2marinedieselstr.empty())
        value_line(out, "Marine Dsl sulfur %: ", sc.so2marinedieselstr);
    value_line(out, "CNG/LPG sulfur %   : ", sc.so2cngstr);
    value_line(out, "Minimum temper. (F): ", sc.mintempstr);
    value_line(out, "Maximum temper. (F): ", sc.maxtempstr);
    value_line(out, "Average temper. (F): ", sc.avgtempstr);
    value_line(out, "Altitude of region : ", sc.altitudestr);
    value_line(out, "EtOH Blend % Mkt   : ", sc.blendmktsharestr);
    value_line(out, "EtOH Vol %         : ", sc.etohvolpctstr);
    out.line("/END/");
}

namespace {

bool contains(const std::string& value, std::string_view word) {
    return value.find(upper(word)) != std::string::npos;
}

// One of the eight value lines; the next packet's header here cuts the packet short, which
// fails as the end of the file does.
std::string period_value(LineReader& in, PacketEnd& end) {
    const std::string& line = in.read();
    if (packet_ends(in, end, line))
        throw past_end_error();
    return line_value(line);
}

void read_period_lines(Session& s, LineReader& in) {
    Scenario& sc = s.sc;
    PacketEnd end("/PERIOD/");
    std::string v = period_value(in, end);
    if (contains(v, "ANNUAL"))
        sc.period_type = 0;
    else if (contains(v, "MONTHLY"))
        sc.period_type = 1;
    else if (contains(v, "SEASONAL"))
        sc.period_type = 2;
    else {
        s.message("Period type not recognized " + v + std::to_string(v.size()));
        Session::end_program();
    }

    v = period_value(in, end);
    if (contains(v, "TYPICAL DAY"))
        sc.summation_type = 0;
    else if (contains(v, "PERIOD TOTAL"))
        sc.summation_type = 1;
    else {
        s.message("Summation type not Known " + v);
        Session::end_program();
    }

    sc.episode_year = period_value(in, end);
    s.log.write(" Get period options " + sc.episode_year);

    v = period_value(in, end);
    sc.season_of_year = 2;
    for (int i = 0; i < 4; ++i)
        if (contains(v, season_names[i]))
            sc.season_of_year = i;

    v = period_value(in, end);
    for (int i = 0; i < 12; ++i)
        if (contains(v, month_names[i]))
            sc.month_of_year = i;
    if (v.empty())
        sc.month_of_year = 5;

    v = trim(period_value(in, end));
    for (int i = 0; i < 2; ++i)
        if (contains(v, trim(day_names[i])))
            sc.weekday_or_weekend = i;

    sc.growth_calc_year = period_value(in, end);
    s.log.write(" Get period options " + sc.growth_calc_year);
    sc.tech_sel_year = period_value(in, end);
    s.log.write(" Get period options " + sc.tech_sel_year);
    packet_ends(in, end, in.read());
}

const char* word_or_empty(int index, const char* const* words, int count) {
    return index >= 0 && index < count ? words[index] : "";
}

}  // namespace

void read_period_packet(Session& s, LineReader& in) {
    try {
        read_period_lines(s, in);
    } catch (const AppError& e) {
        std::string text = "***************Period error " + std::to_string(e.number());
        s.message(text);
        s.log.write(text);
        s.log.write(in.current());
        s.log.close();
        Session::end_program();
    }
}

void write_period_packet(Session& s, LineWriter& out) {
    static const char* const period_words[] = {"Annual", "Monthly", "Seasonal"};
    static const char* const summation_words[] = {"Typical day", "Period total"};
    const Scenario& sc = s.sc;
    // The words come from the Period window, which is loaded for them when it is not open. An
    // open window is neither committed nor closed: its edits stay the user's to accept.
    s.log.write("Entering Period form load");
    out.line("/PERIOD/");
    value_line(out, "Period type        : ", word_or_empty(sc.period_type, period_words, 3));
    value_line(out, "Summation type     : ", word_or_empty(sc.summation_type, summation_words, 2));
    value_line(out, "Year of episode    : ", sc.episode_year);
    value_line(out, "Season of year     : ",
               sc.period_type == 2 ? word_or_empty(sc.season_of_year, season_names.data(), 4) : "");
    value_line(out, "Month of year      : ",
               sc.period_type == 1 ? word_or_empty(sc.month_of_year, month_names.data(), 12) : "");
    value_line(out,
               "Weekday or weekend : ", word_or_empty(sc.weekday_or_weekend, day_names.data(), 2));
    value_line(out, "Year of growth calc: ", sc.growth_calc_year);
    value_line(out, "Year of tech sel   : ", sc.tech_sel_year);
    out.line("/END/");
}

void read_stage2_packet(Session& s, LineReader& in) {
    PacketEnd end("/STAGE II/");
    while (!in.eof()) {
        const std::string& line = in.read();
        if (packet_ends(in, end, line))
            return;
        s.sc.stage2str = line_value(line);
        s.sc.stage2_present = true;
    }
}

void write_stage2_packet(Session& s, LineWriter& out) {
    Scenario& sc = s.sc;
    if (sc.stage2str.empty())
        sc.stage2str = "0";
    out.line("/STAGE II/");
    out.line("Control Factor     : " + (sc.stage2_present ? sc.stage2str : std::string("0.0")));
    out.line("/END/");
}

}  // namespace qv
