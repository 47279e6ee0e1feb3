#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scenario/session.h"

namespace qv {

// The three lines of the main window's summary, and whether the message file was found
// (which shows the View Message File button).
struct SummaryLines {
    std::string title;
    std::string message;
    std::string output;
    bool message_found = false;

    // The label text: the three lines joined by line feeds.
    std::string text() const { return title + "\n" + message + "\n" + output; }
};

// Builds the summary from the scenario and the two files on disk. Changes the current
// directory to the output directory, then the message directory, and leaves it at model_dir.
// Never fails: a step that fails only drops its part of the text.
SummaryLines summary_lines(const Session& s);

// The size and date appended to a summary line for a file named `name`, with a name field of
// `field` characters; empty when the name is longer than the field or the size has 8 or more
// digits (the columns would not line up).
std::string file_facts(const std::string& name, std::uint64_t size, std::int64_t mtime, int field);

// A last-modified time in the system's short date and time format.
std::string file_date_text(std::int64_t mtime);

// The Model menu's Run caption for the current options file name.
std::string run_caption(const std::string& option_file_name);

// What the hidden diagnostic lists show: the selected regions (county and state name run
// together) and the state abbreviations among them.
struct DiagLists {
    std::vector<std::string> regions;
    std::vector<std::string> states;
};
DiagLists diag_lists(const Scenario& sc);

}  // namespace qv
