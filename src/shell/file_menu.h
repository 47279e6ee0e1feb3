#pragma once

#include "scenario/session.h"

namespace qv {

// The File menu's Open (0), Save (1) and Save as (2), each with its error branch; the current
// directory ends at app_dir.
void file_menu(Session& s, int index);

// The File menu's Save with its refusals, offers and error branch; true when the scenario was
// written (also under another name).
bool menu_save(Session& s);

// Reads the options file at PATH (program form) as File > Open reads a chosen one; the current
// directory ends at app_dir.
void open_options_file(Session& s, const std::string& path);

// What Save, Save as and Run say when the latest read of an options file stopped part-way.
extern const char* const incomplete_read_message;

// Save, Save as and Run refuse a scenario that was read only in part: it holds values of more
// than one file, and merging it into the current file would overwrite that file's packets with
// them. True (after the message) when refused; nothing is written then.
bool refuse_incomplete_read(Session& s);

}  // namespace qv
