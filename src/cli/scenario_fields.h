#pragma once

#include <array>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "scenario/session.h"

namespace qv::cli {

// Where a field of the Scenario lives, by its type.
using FieldRef =
    std::variant<std::string Scenario::*, int Scenario::*, bool Scenario::*,
                 std::array<std::string, run_file_count> Scenario::*,
                 std::array<std::string, factor_file_count> Scenario::*,
                 std::vector<std::string> Scenario::*, std::vector<SourceRecord> Scenario::*,
                 AllocList Scenario::*, RegionList Scenario::*>;

// One field of the scenario as qvopt prints and sets it. The same table drives both, so a field
// added to Scenario and to this table shows up in `show` and is settable by `save --set`.
struct ScenarioField {
    std::string_view name;
    FieldRef ref;
    // False for the fields qvopt owns (the file names come from the command line) and for those
    // whose value only the reader may produce (the fixed run-file keys, lists filled from the
    // reference database or from file lists).
    bool settable = true;
    // The allowed range of an integer field.
    int min = 0, max = 0;
    // The changed flag whose packet carries the field to the file, or "" when that packet is
    // rewritten at every save, or nullptr when the field is not written as such.
    const char* packet_flag = nullptr;
};

std::span<const ScenarioField> scenario_fields();
const ScenarioField* find_field(std::string_view name);

// Every field under its own name, in the table's order, as one JSON object.
void write_scenario_json(JsonWriter& w, const Scenario& sc);

// A bad --set or --changed argument; the message says what is wrong with it.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One --set FIELD=VALUE or FIELD[INDEX]=VALUE, checked against the table.
struct Assignment {
    std::string argument;
    const ScenarioField* field = nullptr;
    bool indexed = false;
    std::size_t index = 0;
    std::string value;
};

// Checks the name, the index form and the value's syntax; throws UsageError.
Assignment parse_assignment(const std::string& argument);
// Applies a parsed assignment; throws UsageError when the index lies outside the list as read.
void apply_assignment(Scenario& sc, const Assignment& a);

// The changed flags that --changed accepts.
std::span<const std::string_view> changed_flag_names();
// Sets the named changed flag; throws UsageError for any other name.
void set_changed_flag(Scenario& sc, std::string_view name);
bool changed_flag(const Scenario& sc, std::string_view name);

// Marks the packets that carry the assigned fields, as the windows that edit them do, so that
// the save writes them: the changed flag of a packet met in the file, and the "set" flag of one
// the file may lack (deterioration files, the daily file, by-model-year output).
void mark_assigned_packets(Scenario& sc, std::span<const Assignment> assignments);
// The checks that the windows owning the assigned fields run on OK, over the scenario as it now
// is: the Options window's ranges and consistency rules, the Period window's years, and the
// existence test of an input file named in a file window. Each refusal shows that window's
// message; returns what refused, or "" when all passed.
std::string assigned_field_checks(Session& s, std::span<const Assignment> assignments);
// The list of settable fields and changed flags that `qvopt save --help` ends with.
std::string save_help_footer();

}  // namespace qv::cli
