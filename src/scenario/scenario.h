#pragma once

#include <array>
#include <string>
#include <vector>

#include "scenario/keyed_list.h"

namespace qv {

struct RegionCls {
    std::string code;
    std::string county;
    std::string statename;
    std::string abbr;
    bool isState = false;

    bool operator==(const RegionCls&) const = default;
};

struct AllocCls {
    std::string descriptor;
    std::string allocfile;

    bool operator==(const AllocCls&) const = default;
};

struct State {
    std::string code;
    std::string statename;
    std::string abbr;

    bool operator==(const State&) const = default;
};

struct SourceRecord {
    std::string scc;  // exactly 10 characters when filled
    std::string description;

    bool operator==(const SourceRecord&) const = default;
};

using RegionList = KeyedList<RegionCls>;
using AllocList = KeyedList<AllocCls>;
using StateTable = KeyedList<State>;

constexpr int run_file_count = 15;
constexpr int factor_file_count = 16;
constexpr int emission_type_count = 15;

// Indices into run_files.
namespace rf {
constexpr int alloc_xref = 0, activity = 1, exh_technology = 2, evp_technology = 3, seasonality = 4,
              regions = 5, message = 6, output_data = 7, kpz2_rdl = 8, lnv = 9,
              us_counties_fips = 10, retrofit = 11, exhaust_bmy = 12, evap_bmy = 13,
              daily_temps = 14;
}

// Region levels.
namespace level {
constexpr int fifty_state = 0, state = 1, county = 2, us_total = 3;
}

// The one scenario being edited: the in-memory image of one options file.
struct Scenario {
    // The scenario's own file names.
    std::string option_file_name, option_file_dir;
    std::string save_file_name, save_file_dir;
    std::string prev_option_file_name, prev_option_file_dir;

    // Run files.
    std::array<std::string, run_file_count> run_file_keys{};
    std::array<std::string, run_file_count> run_files{};
    std::string message_file_name, message_dir;
    std::string output_file_name, output_dir;
    std::string bmy_exhaust_file_name, bmy_evap_file_name;
    bool bmy_output_on = false;

    // Emission and deterioration factor files, by emission type.
    std::array<std::string, factor_file_count> emfac_files{};
    std::array<std::string, factor_file_count> deteriorate_files{};

    // Growth files: after reading n lines, n + 1 slots with the last one empty. Never read
    // or set: no slot at all.
    std::vector<std::string> growth_files;

    // Allocation and population files with their working copies.
    AllocList alloc_files, alloc_files_work;
    AllocList pop_files, pop_files_work;

    // Region.
    int region_level = 0;
    RegionList region_list;
    RegionList selected_regions;

    // Sources: slots 0 to n with the last one empty.
    bool source_subset = false;
    std::vector<SourceRecord> source_list;

    // Options and Stage II values, as read (upper case) or typed.
    std::string title1str, title2str, humidstr, fulrvpstr, pcoxygenstr, so2gasstr, so2dieselstr,
        so2marinedieselstr, so2cngstr, mintempstr, maxtempstr, avgtempstr, etohvolpctstr,
        blendmktsharestr, altitudestr, stage2str;
    bool stage2_present = false;

    // Period.
    int period_type = 0;
    int summation_type = 0;
    std::string episode_year;
    int season_of_year = 0;
    int month_of_year = 0;
    int weekday_or_weekend = 0;
    std::string growth_calc_year;
    std::string tech_sel_year;

    // Packet-present flags.
    bool region_found = false, alloc_found = false, emfac_found = false, deteriorate_found = false,
         growth_found = false, pop_found = false, options_found = false, period_found = false,
         runfiles_found = false, source_found = false, stage2_found = false,
         modelyear_found = false, daily_found = false;

    // Set when the user gives the scenario a daily file, deterioration files or by-model-year
    // output that the file read has no packet for: the save then appends the packet. Cleared by
    // every read.
    bool daily_set = false, deteriorate_set = false, modelyear_set = false;

    // Changed flags.
    bool options_changed = false, stage2_changed = false, period_changed = false,
         region_changed = false, pop_files_changed = false, alloc_files_changed = false,
         emfac_changed = false, growth_changed = false;

    // Every member alike, the lists item by item.
    bool operator==(const Scenario&) const = default;
};

// The fixed tables of the file format.
extern const std::array<const char*, run_file_count> run_file_key_texts;
extern const char* const emission_type_list;
extern const std::array<const char*, emission_type_count> emission_type_labels;
extern const std::array<const char*, 4> season_names;
extern const std::array<const char*, 12> month_names;
extern const std::array<const char*, 2> day_names;
extern const std::array<const char*, 4> region_level_words;

// The Options window's numeric boxes (control name, caption, value), in the order they are
// filled and copied back.
struct OptionBox {
    const char* control;
    const char* caption;
    std::string Scenario::*value;
};
extern const std::array<OptionBox, 11> option_boxes;

}  // namespace qv
