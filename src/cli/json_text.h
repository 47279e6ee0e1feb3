#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace qv::cli {

// A JSON string literal holding exactly the given bytes: valid UTF-8 is written as it is, and
// each byte that is not part of a valid UTF-8 sequence is written as \u00XX, so text in a
// single-byte code page comes out intact instead of failing the whole document.
std::string json_string(std::string_view bytes);

// Writes the document indented by two blanks, strings through json_string. nlohmann's own dump
// refuses invalid UTF-8, and options files are bytes, so every document qvopt prints goes
// through here.
void write_json(std::ostream& out, const nlohmann::ordered_json& doc);
// The same, all on one line (JSON lines: one document per line).
void write_json_line(std::ostream& out, const nlohmann::ordered_json& doc);

}  // namespace qv::cli
