#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scenario/session.h"

namespace qv {

// One difference between two scenarios, in the terms of the windows. A side that lacks the
// item holds no value: an item only in b was added, an item only in a was removed.
struct Difference {
    std::string packet;  // "/OPTIONS/" ... "/DAILY FILES/", or outside_packets
    std::string field;   // window label, file key or descriptor, "county", "source", "packet"
    std::optional<std::string> a, b;
    // An entry of a list (a county, a source code, a line outside packets): named by its value.
    bool entry = false;
};

// The packet name of the lines outside packets.
inline constexpr const char* outside_packets = "outside packets";

// One side of a comparison: a scenario as read or as it stands in the window, the model
// directory its relative names resolve against, and the text of its options file, which holds
// the lines outside packets.
struct ComparedSide {
    const Scenario& sc;
    std::string model_dir;
    std::string text;
};

// The side of a session that has read its options file: its scenario, its model directory and
// the file's text as it is now (empty when the file cannot be read).
ComparedSide compared_side(const Session& s);

// Every difference between a and b, field by field, in packet order then outside packets.
// Paths count as equal when they name the same file as the model resolves them, whatever the
// separator or letter case; the "Written by" stamp line is never a difference.
std::vector<Difference> compare_scenarios(const ComparedSide& a, const ComparedSide& b);

// "Fuel RVP for gas: 9.0 -> 7.8", "+ Clark County NV 32003", "- Growth FILE: data\x.grw",
// "packet only in A"; an empty value shows as "(none)".
std::string difference_text(const Difference& d);

// The differences as lines: each packet alone on a line, its differences under it indented by
// two blanks.
std::vector<std::string> difference_lines(const std::vector<Difference>& diffs);

// A short account for a list of many scenarios, such as "region: NV; year 2030": b's side of
// what matters to a modeller. Output file names (which follow the options file's name) and
// allocation and population lists that follow a region change are left out.
std::string differences_summary(const std::vector<Difference>& diffs);

}  // namespace qv
