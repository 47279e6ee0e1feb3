#pragma once

#include <string>
#include <string_view>

namespace qv {

// Letter case changes act on ASCII letters only, so other bytes survive unchanged.
std::string upper(std::string_view s);
std::string lower(std::string_view s);
// Blanks (spaces) only, as the file format trims.
std::string trim(std::string_view s);
std::string ltrim(std::string_view s);
std::string rtrim(std::string_view s);
// trim() without the copy: the part of s between its leading and trailing blanks.
std::string_view trimmed(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
bool starts_with_upper(std::string_view line, std::string_view prefix);  // compares upper(line)
// The first n characters (all when shorter).
std::string left(std::string_view s, std::size_t n);
std::string right(std::string_view s, std::size_t n);
// s cut or blank-padded to exactly n characters.
std::string fit(std::string_view s, std::size_t n);
// The characters a user sees in a name: UTF-8 sequences count once when the text is valid UTF-8,
// otherwise (a Latin-1 or Windows-1252 name) every byte is one character.
std::size_t character_count(std::string_view s);

// The value of an options-file line: the text after its first ":", upper-cased and trimmed;
// the whole line when it has no colon.
std::string line_value(std::string_view line);

// Length of the leading number of s from position b (sign, digits, one point, digits, an
// exponent when digits follow its letter); 0 when no number starts there.
std::size_t number_length(std::string_view s, std::size_t b = 0);
// The leading number of a text, 0 when there is none (blanks before it allowed).
double lenient_number(std::string_view s);
// The text as a number; AppError 13 when it is not one.
double strict_number(std::string_view s);
// A number in its shortest general form: 6, 0.5, -40, 0.35.
std::string general_number(double v);

}  // namespace qv
