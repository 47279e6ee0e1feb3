#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "platform/program_end.h"
#include "scenario/packets.h"
#include "scenario/query_text.h"
#include "scenario/text.h"

namespace qv {

void copy_region_list(const RegionList& source, RegionList& target) {
    target.copy_from(source);
}

void read_region_packet(Session& s, LineReader& in) {
    Scenario& sc = s.sc;
    sc.region_list.clear();
    PacketEnd end("/REGION/");
    for (int n = 1;; ++n) {
        const std::string& line = in.read();
        if (packet_ends(in, end, line))
            break;
        std::string v = line_value(line);
        if (v == "50STATE")
            sc.region_level = level::fifty_state;
        else if (v == "STATE")
            sc.region_level = level::state;
        else if (v == "COUNTY")
            sc.region_level = level::county;
        else if (v == "SUBCOUNTY" || v == "US TOTAL")
            sc.region_level = level::us_total;
        else if (n == 1) {
            s.message("Region " + v + " is not known. Correct " + sc.option_file_name +
                      " and retry");
            Session::end_program();
        } else {
            auto entry = std::make_shared<RegionCls>();
            entry->code = v;
            sc.region_list.add_if_new(entry, v);
        }
    }
    validate_region(s);
}

namespace {
constexpr std::string_view county_head =
    "SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=";
constexpr std::string_view county_tail = ");";
}  // namespace

std::string county_query(std::string_view code) {
    return access_query(county_head, code, county_tail);
}

void validate_region(Session& s) {
    Scenario& sc = s.sc;
    // A national region lists no codes to look up: the database is opened, and a failure to
    // open it ends the program as for any region, but its tables are not read.
    open_reference_db(s, sc.region_list.empty());
    // The list stays as it is while it is walked: the entries found wanting leave it after.
    const RegionList& entries = sc.region_list;
    // The codes are looked up together, as far as the first whose state is unknown: the walk
    // stops there before its look-up.
    std::vector<std::string_view> codes;
    std::vector<StateTable::Ptr> states;
    codes.reserve(entries.size());
    states.reserve(entries.size());
    for (const auto& entry : entries) {
        auto state = s.state_table.find(left(entry->code, 2));
        if (!state)
            break;
        states.push_back(std::move(state));
        codes.push_back(entry->code);
    }
    // Codes found wanting leave the list together, so that dropping many costs one pass.
    std::vector<bool> dropped(entries.size(), false);
    try {
        std::vector<QueryOutcome> found =
            s.reference.query_each_value(county_head, codes, county_tail);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto& entry = entries[i];
            if (i >= states.size())
                throw invalid_argument_error();
            const StateTable::Ptr& state = states[i];
            if (found[i].failure)
                std::rethrow_exception(found[i].failure);
            const QueryResult& rows = found[i].rows;
            if (!rows.empty() && sc.region_level == level::county) {
                auto county = rows.field(0, "county");
                if (!county)
                    throw AppError(err::invalid_null, "Invalid use of Null");
                entry->abbr = state->abbr;
                entry->statename = state->statename;
                entry->county = std::move(*county);
                entry->isState = false;
            } else if (!rows.empty() && right(entry->code, 3) == "000") {
                entry->isState = true;
                entry->abbr = state->abbr;
                entry->statename = state->statename;
                entry->county = "*****";
            } else {
                dropped[i] = true;
            }
        }
    } catch (const AppError& e) {
        sc.region_list.remove_marked(dropped);
        copy_region_list(sc.region_list, sc.selected_regions);
        s.message("validate_region " + e.description());
        s.log.write("Exiting abnormally validate_region; ");
        close_reference_db(s);
        return;
    }
    sc.region_list.remove_marked(dropped);
    copy_region_list(sc.region_list, sc.selected_regions);
    close_reference_db(s);
}

std::string region_name_field(const RegionCls& entry, int region_level, std::string& previous) {
    std::string name;
    if (entry.isState && region_level == level::state)
        name = entry.statename;
    else if (entry.isState && region_level == level::county)
        name = "All " + entry.statename;
    else if (!entry.isState)
        name = entry.county + " " + entry.abbr;
    else
        name = previous;  // whole states at the national levels: the reader ignores the name
    previous = name;
    if (name.size() < 20)
        return fit(name, 19);
    return left(name, 16) + " " + right(name, 2);
}

void write_region_packet(Session& s, LineWriter& out) {
    const Scenario& sc = s.sc;
    out.line("/REGION/");
    int lv = sc.region_level >= 0 && sc.region_level <= 3 ? sc.region_level : level::us_total;
    out.line(std::string("Region Level       : ") + region_level_words[lv]);
    std::string previous;
    for (const auto& entry : sc.region_list)
        out.line(region_name_field(*entry, sc.region_level, previous) + ": " + entry->code);
    out.line("/END/");
}

std::string reference_db_path(const Session& s) {
    return join_path(join_path(s.settings.model_dir, "reports"), "reports.mdb");
}

void open_reference_db(Session& s, bool unread) {
    std::string path = reference_db_path(s);
    try {
        if (s.reference.is_open())
            s.reference.close();
        if (unread)
            s.reference.open_unread(s.fs.host_path(path));
        else
            s.reference.open(s.fs.host_path(path));
    } catch (const AppError& e) {
        s.message(e.description() + path + std::to_string(e.number()));
        Session::end_program();
    }
}

void close_reference_db(Session& s) {
    try {
        if (s.reference.is_open())
            s.reference.close();
    } catch (const AppError& e) {
        s.message(e.description() + reference_db_path(s) + std::to_string(e.number()));
        Session::end_program();
    }
}

}  // namespace qv
