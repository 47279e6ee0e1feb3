#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "scenario/session.h"

namespace qv {

// The descriptor of an allocation file found for a state prefix: the surrogate name whose ending
// the file name carries (letter case ignored), else the plain "Allocation File    :".
std::string allocation_descriptor(std::string_view prefix, std::string_view file_name);

// The file-name prefixes of a selection: the distinct state abbreviations in order of first
// appearance at the State and County levels, "US" at the national levels.
std::vector<std::string> region_prefixes(const RegionList& selected, int reglevel);

// Rebuilds the working allocation and population file lists (alloc_files_work, pop_files_work)
// from the files of data_dir\ALLOCATE and data_dir\POP that belong to the selection. On a
// failure the message names both directories and the lists stay as far as they were built;
// false then.
bool rebuild_file_lists(Session& s, int reglevel);
// rebuild_file_lists, then the working lists committed with their changed flags set.
void pop_alloc(Session& s, int reglevel);

// One line of the current-selection list and the entry it stands for.
struct RegselLine {
    std::string text;
    std::string code;
};

struct RegselResult {
    std::vector<std::string> states;  // selected_states: distinct abbreviations
    std::vector<RegselLine> lines;
};

// The current-selection lines of a selection at a level. Whole states show no line at the
// national levels.
RegselResult regsel(const RegionList& selected, int reglevel);

// Called before a level change; going from County to State drops every county entry.
void regionb_consistent(RegionList& selected, bool S_C, bool C_S);

// The selection after the level changes from `previous` to `next`.
void region_level_change(RegionList& selected, int previous, int next);

// One whole-state entry per row of the state table, keyed by the state code and "000".
RegionList build_state_regions(const StateTable& table);

// The query for the counties of a state (two-digit code), whole-state rows left out.
std::string state_county_query(std::string_view state_code);

// Runs the county query for a whole-state entry. Each failure is shown with its description and
// the query goes on; a row that cannot be taken is left out.
RegionList query_state_counties(Session& s, const RegionCls& state);

// The " already selected" text for an entry: its state name, or for a county its name and
// state abbreviation.
std::string already_selected_text(const RegionCls& entry);

enum class RegionAdd { Added, NothingSelected, Ignored, AlreadySelected };

// Adds a state or county to the selection. `item` is the current line of the list clicked last,
// null when it has none; `any_current` tells whether either list has a current line.
RegionAdd region_add(Session& s, RegionList& selected, int reglevel, const RegionCls* item,
                     bool any_current);

// Removes the entries of the given codes.
void remove_marked(RegionList& selected, const std::vector<std::string>& codes);

// What closing commits: the selection becomes the scenario's region, and the file lists are
// rebuilt for it.
void region_commit(Session& s, int reglevel);

}  // namespace qv
