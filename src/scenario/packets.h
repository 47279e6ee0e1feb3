#pragma once

#include <array>
#include <string>
#include <string_view>

#include "scenario/line_io.h"
#include "scenario/session.h"

namespace qv {

// The packet end as most readers test it: the first five characters, trimmed and upper-cased.
bool is_packet_end(std::string_view line);

// The line that closes a packet, as that packet's reader recognises it. The writer copies and
// skips packets with the same test, so that an unchanged packet is copied exactly as far as its
// reader read it: most packets end at a line that begins with "/END/"; "/EMFAC FILES/" and
// "/DETERIORATE FILES/" also at one indented; "/REGION/" at a line whose value is "/END/";
// "/PERIOD/" at its ninth line, whatever it holds.
class PacketEnd {
  public:
    explicit PacketEnd(std::string_view header);
    // Takes the packet's next line that is no packet header; true when it closes the packet.
    bool take(std::string_view line);

  private:
    enum class Rule { first_five, trimmed, value, ninth_line };
    Rule rule_;
    int lines_ = 0;
};

// The packet headers, in the order in which the reader tests every line against them.
inline constexpr std::array<std::string_view, 13> packet_headers = {
    "/RUNFILES/",    "/POP FILES/",         "/OPTIONS/",  "/PERIOD/",
    "/EMFAC FILES/", "/DETERIORATE FILES/", "/REGION/",   "/SOURCE CATEGORY/",
    "/ALLOC FILES/", "/GROWTH FILES/",      "/STAGE II/", "/MODELYEAR OUT/",
    "/DAILY FILES/",
};
// The header that `line` begins with (leading blanks and letter case ignored); empty when the
// line is no packet header.
std::string_view packet_header_of(std::string_view line);
// A header met inside a packet ends that packet as its "/END/" would: the line is put back for
// the driver, which reads it as the next packet and reports the missing "/END/". True when the
// line was a header.
bool ends_at_header(LineReader& in, std::string_view line);
// One line of a packet: true when the packet ends there, at its own end line (noted on `in`
// as closed) or at the next header (put back for the driver).
bool packet_ends(LineReader& in, PacketEnd& end, std::string_view line);
// The warning for a packet that ended at the next header, or at the end of the file, instead
// of its "/END/".
std::string missing_end_text(std::string_view header, bool at_file_end = false);

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
// A name as the model resolves it: a relative name is taken under model_dir, where the model
// runs, whatever the current directory is at the moment.
std::string in_model_dir(const Session& s, std::string_view name);
// The existence test of the windows that take an input file: the text, a relative one taken
// under model_dir as the model takes it, names at least one ordinary file (wildcards allowed).
// An empty text passes.
bool named_file_exists(const Session& s, const std::string& text);

// The reference database, opened for one task. A failure shows its message and ends the program.
// `unread`: for a task that may query nothing, the tables are read on the first query.
void open_reference_db(Session& s, bool unread = false);
void close_reference_db(Session& s);
std::string reference_db_path(const Session& s);

}  // namespace qv
