#pragma once

#include <string>
#include <string_view>

#include "scenario/line_io.h"
#include "scenario/session.h"

namespace qv {

// The packet end as most readers test it: the first five characters, trimmed and upper-cased.
bool is_packet_end(std::string_view line);

// "/OPTIONS/", "/PERIOD/", "/STAGE II/".
void read_options_packet(Session& s, LineReader& in);
void write_options_packet(Session& s, LineWriter& out);
void read_period_packet(Session& s, LineReader& in);
void write_period_packet(Session& s, LineWriter& out);
void read_stage2_packet(Session& s, LineReader& in);
void write_stage2_packet(Session& s, LineWriter& out);

// "/REGION/".
void read_region_packet(Session& s, LineReader& in);
void write_region_packet(Session& s, LineWriter& out);
void validate_region(Session& s);
// The 19-character name field written before an entry's code.
std::string region_name_field(const RegionCls& entry, int region_level, std::string& previous);

// "/SOURCE CATEGORY/".
void get_source_options(Session& s, LineReader& in);
void write_source_packet(Session& s, LineWriter& out);
std::string source_query(std::string_view code);

// File-list packets.
void read_runfiles_packet(Session& s, LineReader& in);
void write_runfiles_packet(Session& s, LineWriter& out);
void read_modelyear_packet(Session& s, LineReader& in);
void write_modelyear_packet(Session& s, LineWriter& out);
void read_daily_packet(Session& s, LineReader& in);
void write_daily_packet(Session& s, LineWriter& out);
void read_factor_files_packet(Session& s, LineReader& in, bool is_emfac);
void write_emfac_packet(Session& s, LineWriter& out);
void write_deteriorate_packet(Session& s, LineWriter& out);
void read_growth_packet(Session& s, LineReader& in);
void write_growth_packet(Session& s, LineWriter& out);
void read_alloc_packet(Session& s, LineReader& in);
void write_alloc_packet(Session& s, LineWriter& out);
void read_pop_packet(Session& s, LineReader& in);
void write_pop_packet(Session& s, LineWriter& out);

// Path helpers: the text before / after the last "\".
std::string split_dir(std::string_view path);
std::string split_file_name(std::string_view path);
// Empties target, then adds every item of source in order (the same items).
void copy_file_list(const AllocList& source, AllocList& target);
void copy_region_list(const RegionList& source, RegionList& target);
// A directory held in the file is absolute when it names a drive or starts at a root.
bool is_absolute_dir(std::string_view dir);
// A name as the model takes it: the model runs in model_dir, so a relative name lies under it.
std::string resolve_model_name(const Session& s, std::string_view name);

// The reference database, opened for one task. A failure shows its message and ends the program.
void open_reference_db(Session& s);
void close_reference_db(Session& s);
std::string reference_db_path(const Session& s);

}  // namespace qv
