#pragma once

#include <string>

#include "scenario/line_io.h"
#include "scenario/session.h"

namespace qv {

// Thrown by a packet reader after a nested choose_option_file has read another file in full:
// the read of the old file stops there.
struct ReadSuperseded {};

// The start of the stamp line every save puts first; a save drops the stamps of earlier saves.
inline constexpr const char* written_by_stamp = "Written by Quarvel interface at ";

// Reads option_file_dir\option_file_name into the scenario, with every message and fallback.
// False when the file could not even be opened (after its message): the scenario is then as it
// was. May throw ProgramEnd (the program ends) or ChooserStop (qvopt cannot ask).
bool read_options_file(Session& s);
// Makes PATH (program form) the current options file and reads it; a file that cannot be opened
// leaves the current file's names as they were (false).
bool read_options_file_at(Session& s, const std::string& path);
// Asks for another (existing) options file and reads it, as read_options_file_at does. A
// cancelled chooser throws AppError 32755.
bool choose_option_file(Session& s);

// Merges the scenario into a copy of the current options file, written as
// save_file_dir\save_file_name. False when either file could not be opened (after its message).
bool write_options_file(Session& s);
// The same, written to out_path and replacing that file in one step. Into the current options
// file itself it refuses (after its message, nothing written) when the file changed on disk
// since it was read or last saved.
bool write_options_to(Session& s, const std::string& out_path);
// True when the current options file is no longer what the scenario was read from or saved as.
bool changed_since_read(Session& s);
// The refusal of a save into a file that another program changed meanwhile.
std::string changed_on_disk_text(const std::string& path);
// The refusal of a save while another program holds the file for its own save.
std::string being_saved_text(const std::string& path);
// Reads the lines of the packet `header` up to and including the line its reader ends it at;
// a packet without one ends before the next packet header (which is left to be read) or at the
// end of the file.
void skip_to_end(LineReader& in, std::string_view header);
// True when a save would now write something else into the options file than it would have
// written when the scenario was last read or saved: the user changed a value that a save writes
// (an OK that changed nothing counts as no change). False when there is nothing a save could
// write: no file read yet, or a read that stopped part-way.
bool has_unsaved_changes(const Session& s);

// Saves the scenario over the current options file, replacing it in one step.
bool update_default_option_file(Session& s);

enum class Name83 { Accepted, TooLong, NoPeriod };
// At most 8 characters before the first period of the name; shows its warning when longer.
Name83 check_83_name(Session& s, const std::string& path);

// Save as the chosen path (program form): a path that names the current file is a plain save;
// otherwise the message, output and by-model-year names follow the new base name and the new
// file becomes the current one. False when the write failed.
bool save_options_as(Session& s, const std::string& chosen);
// The File menu's Save as, chooser and error branch included. True when the file was written.
bool file_save_as(Session& s);
// The File menu's Save: after a refusal, the offers of another name (and of re-opening a file
// another program changed). True when the scenario was written, here or under another name.
bool file_save(Session& s);

}  // namespace qv
