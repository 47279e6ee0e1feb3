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

}  // namespace qv::runs
