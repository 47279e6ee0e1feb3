#pragma once

#include <string>

#include "scenario/line_io.h"
#include "scenario/session.h"

namespace qv {

// Thrown by a packet reader after a nested choose_option_file has read another file in full:
// the read of the old file stops there.
struct ReadSuperseded {};

// Reads option_file_dir\option_file_name into the scenario, with every message and fallback.
// Always true. May throw ProgramEnd (the program ends) or ChooserStop (qvopt cannot ask).
bool read_options_file(Session& s);
// Asks for another options file and reads it. A cancelled chooser throws AppError 32755.
void choose_option_file(Session& s);

// Merges the scenario into a copy of the current options file, written as
// save_file_dir\save_file_name. False when either file could not be opened (after its message).
bool write_options_file(Session& s);
// Reads lines up to and including the packet's "/END/" line; AppError 62 when there is none.
void skip_to_end(LineReader& in);

// Saves the scenario over the current options file, replacing it in one step.
bool update_default_option_file(Session& s);

enum class Name83 { Accepted, TooLong, NoPeriod };
// At most 8 characters before the first period of the name; shows its warning when longer.
Name83 check_83_name(Session& s, const std::string& path);

// Save as the chosen path (program form): a path that names the current file is a plain save;
// otherwise the message, output and by-model-year names follow the new base name and the new
// file becomes the current one. False when the write failed.
bool save_options_as(Session& s, const std::string& chosen);
// The File menu's Save as, chooser and error branch included.
void file_save_as(Session& s);
// The File menu's Save.
void file_save(Session& s);

}  // namespace qv
