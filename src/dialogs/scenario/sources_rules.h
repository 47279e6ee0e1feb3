#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/session.h"

namespace qv {

// Segment options: caption and code, by option index. Index 13 stands for no segment chosen and
// leaves the code as it was.
constexpr int segment_count = 14;
constexpr int no_segment = 13;
extern const std::array<const char*, segment_count> segment_captions;
// The five-character code of a segment option; empty for the no-choice option.
std::string segment_code(int index);

// Fuel options. Index 3 stands for no fuel chosen; 4 is never used.
constexpr int fuel_count = 5;
constexpr int no_fuel = 3;
extern const std::array<const char*, fuel_count> fuel_captions;

// The two add kinds.
constexpr int add_segment = 0, add_equipment = 1;

// A source list holds at most this many entries.
constexpr std::size_t max_sources = 32767;

// The trailing zeros of a code turned into "#": "02000" gives "02###".
std::string equipstr(std::string_view s);

// The ten-position code pattern for an add kind, segment option, segment code and fuel option;
// empty for a segment or fuel that has none.
std::string selection(int Index, int lseg, std::string_view segcode, int fuelindex);

// The whole query for the recreational marine segment; empty for a fuel that has none.
std::string marinequery(int Index, int fuelindex);

// The start of the Add query, up to the first pattern.
std::string add_query_head();

// The Add query for the chosen segment and fuel. "All Segments" joins three patterns and writes
// the two extra ones to the run log.
std::string add_query(Session& s, int Index, int segindex, int fuelindex, std::string_view segcode);

// The number of listed sources (the list keeps one empty slot after them).
std::size_t source_count(const Scenario& sc);
// The listed sources without the empty slot.
std::vector<SourceRecord> listed_sources(const Scenario& sc);
// Replaces the listed sources, keeping one empty slot at the end.
void set_listed_sources(Scenario& sc, const std::vector<SourceRecord>& entries);

// The Add step: checks the choice, runs the query and appends each new code to source_list.
// Returns the entries appended (they stay also when a failure ends the add).
std::vector<SourceRecord> add_sources(Session& s, int Index, int segindex, int fuelindex,
                                      std::string_view segcode);

// The text of a code-and-description line.
std::string code_desc_line(const SourceRecord& r);

}  // namespace qv
