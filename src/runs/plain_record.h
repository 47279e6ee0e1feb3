#pragma once

#include <optional>
#include <string_view>

#include "runs/run_record.h"

namespace qv::runs {

// A record in the plain form this program writes (ASCII text without "\u" escapes, one of each
// key, every field of the type it is written with), read in one pass without building a JSON
// document, since batch status reads thousands at once. Any other text gives nullopt; where it
// gives a record, that is the record parse_record gives.
std::optional<RunRecord> read_plain_record(std::string_view text);

// What parse_record gives (the record, or RecordError saying why there is none), by
// read_plain_record where the text is plain.
RunRecord read_record(std::string_view text);

// What read_record gives, less what a check of the record against the disk does not need:
// who ran it and where, its title, note, console lines and copy of the options text, and the
// packet, key and written name of each file (leave_out_for_check). Those are still checked for
// their type, so that a record read_record refuses is refused here too.
RunRecord read_record_for_check(std::string_view text);
void leave_out_for_check(RunRecord& r);

}  // namespace qv::runs
