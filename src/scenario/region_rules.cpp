#include "scenario/region_rules.h"

#include <algorithm>
#include <memory>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "scenario/alloc_names.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

std::string allocation_descriptor(std::string_view prefix, std::string_view file_name) {
    for (int k = alloc_name_first; k <= alloc_name_last; ++k)
        if (iequals(file_name, std::string(prefix) + alloc_filename(k)))
            return alloc_descriptor(k);
    return "Allocation File    :";
}

std::vector<std::string> region_prefixes(const RegionList& selected, int reglevel) {
    if (reglevel != level::state && reglevel != level::county)
        return {"US"};
    return regsel(selected, reglevel).states;
}

bool rebuild_file_lists(Session& s, int reglevel) {
    Scenario& sc = s.sc;
    const std::string a = join_path(s.settings.data_dir, "ALLOCATE") + host_separator;
    const std::string p = join_path(s.settings.data_dir, "POP") + host_separator;
    try {
        sc.pop_files_work.clear();
        sc.alloc_files_work.clear();
        for (const std::string& prefix : region_prefixes(sc.selected_regions, reglevel)) {
            for (const std::string& f : s.fs.list(a + prefix + "*.alo", attr_normal)) {
                auto item = std::make_shared<AllocCls>();
                item->allocfile = a + f;
                item->descriptor = allocation_descriptor(prefix, f);
                sc.alloc_files_work.add(item, item->allocfile);
            }
            for (const std::string& f : s.fs.list(p + prefix + ".pop", attr_normal)) {
                auto item = std::make_shared<AllocCls>();
                item->allocfile = p + f;
                item->descriptor = "Population File    : ";
                sc.pop_files_work.add(item, item->allocfile);
            }
        }
    } catch (const AppError&) {
        s.message("pop_alloc error " + a + " " + p);
        return false;
    }
    return true;
}

void pop_alloc(Session& s, int reglevel) {
    Scenario& sc = s.sc;
    if (!rebuild_file_lists(s, reglevel))
        return;
    copy_file_list(sc.alloc_files_work, sc.alloc_files);
    copy_file_list(sc.pop_files_work, sc.pop_files);
    sc.alloc_files_changed = true;
    sc.pop_files_changed = true;
}

RegselResult regsel(const RegionList& selected, int reglevel) {
    RegselResult r;
    for (const auto& e : selected) {
        if (std::find(r.states.begin(), r.states.end(), e->abbr) == r.states.end())
            r.states.push_back(e->abbr);
        if (e->isState) {
            if (reglevel == level::state)
                r.lines.push_back({e->statename, e->code});
            else if (reglevel == level::county)
                r.lines.push_back({"All of " + e->statename, e->code});
        } else {
            r.lines.push_back({e->county + " " + e->abbr, e->code});
        }
    }
    return r;
}

void regionb_consistent(RegionList& selected, bool /*S_C*/, bool C_S) {
    if (!C_S)
        return;
    for (std::size_t i = selected.size(); i-- > 0;)
        if (!selected[i]->isState)
            selected.remove_at(i);
}

void region_level_change(RegionList& selected, int previous, int next) {
    regionb_consistent(selected, next == level::county && previous == level::state,
                       next == level::state && previous == level::county);
    if (next == level::fifty_state)
        selected.clear();
}

RegionList build_state_regions(const StateTable& table) {
    RegionList regions;
    for (const auto& row : table) {
        auto item = std::make_shared<RegionCls>();
        item->statename = row->statename;
        item->abbr = row->abbr;
        item->code = row->code + "000";
        item->isState = true;
        regions.add(item, item->code);
    }
    return regions;
}

std::string state_county_query(std::string_view state_code) {
    return "SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties"
           " WHERE((Counties.FIPS like " +
           access_literal(std::string(state_code) + "###") + ") AND (Counties.COUNTY not like " +
           access_literal("The State*") + "));";
}

RegionList query_state_counties(Session& s, const RegionCls& state) {
    RegionList counties;
    const std::string query = state_county_query(left(state.code, 2));
    open_reference_db(s);
    QueryResult rows;
    try {
        rows = s.reference.query(query);
    } catch (const AppError& e) {
        s.message(e.description());
    }
    for (std::size_t i = 0; i < rows.rows.size(); ++i) {
        try {
            auto name = rows.field(i, "county");
            auto fips = rows.field(i, "FIPS");
            if (!name || !fips)
                throw AppError(err::invalid_null, "Invalid use of Null");
            auto item = std::make_shared<RegionCls>();
            item->county = *name;
            item->abbr = state.abbr;
            item->code = *fips;
            item->isState = false;
            // A row whose code is already listed is reported and left out, so that each line of
            // the list stays paired with its entry.
            counties.add(item, item->code);
        } catch (const AppError& e) {
            s.message(e.description());
        }
    }
    close_reference_db(s);
    return counties;
}

std::string already_selected_text(const RegionCls& entry) {
    const std::string name = entry.isState ? entry.statename : entry.county + " " + entry.abbr;
    return name + " already selected";
}

RegionAdd region_add(Session& s, RegionList& selected, int reglevel, const RegionCls* item,
                     bool any_current) {
    if (!any_current) {
        s.untitled_message("No State/County selected");
        return RegionAdd::NothingSelected;
    }
    if (reglevel == level::fifty_state)
        return RegionAdd::Ignored;
    // The list clicked last may have lost its current line to a level change while the other
    // list kept one: there is nothing sound to add then.
    if (!item) {
        s.untitled_message("No State/County selected");
        return RegionAdd::NothingSelected;
    }
    if (selected.contains(item->code)) {
        s.message(already_selected_text(*item));
        return RegionAdd::AlreadySelected;
    }
    selected.add(std::make_shared<RegionCls>(*item), item->code);
    return RegionAdd::Added;
}

void remove_marked(RegionList& selected, const std::vector<std::string>& codes) {
    for (const std::string& code : codes)
        selected.remove(code);
}

void region_commit(Session& s, int reglevel) {
    copy_region_list(s.sc.selected_regions, s.sc.region_list);
    s.sc.region_level = reglevel;
    pop_alloc(s, reglevel);
}

}  // namespace qv
