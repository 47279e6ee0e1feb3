#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scenario/session.h"

namespace qv {

// The label an allocation file gets when its name matches no entry of the name tables.
inline constexpr const char* default_alloc_descriptor = "Allocation File    : ";
// The label every population file leaves the Equipment Population dialog with.
inline constexpr const char* population_descriptor = "Population file    :";

// The descriptor of an added allocation file, found from its name: the tail from the first "_"
// of the name part ("_pop.alo" in "c:\data\CA_POP.ALO"), compared lower-cased with the file-name
// table. The name part is looked for within the last 14 characters only, so nullopt means a name
// part longer than 13 characters (or no backslash at all).
std::optional<std::string> alloc_descriptor_for(const std::string& path);

// The chooser request of a "Change Look up", "Add..." or menu pick.
ChooserRequest open_request(std::string title, std::string filter, int filter_index,
                            std::string initial_dir);

// After the chooser of an "Add..." button: a missing file is reported as the path followed by
// " does not exist." and refused; an existing one puts the current directory back at app_dir.
bool accept_added_file(Session& s, const std::string& path);

// The Geographic Allocation "Add..." after the existence test: appends the file with the
// descriptor its name gives. A name part too long for the look-up, or a file already in the list
// (in any letter case), is reported and nothing is added. Returns whether it was added.
bool add_alloc_file(Session& s, AllocList& work, const std::string& path);

// Replace in an allocation-style list: the entry at `pos` becomes `text`, keeping its place and
// its descriptor. Nothing happens without an entry at `pos`, for an empty text, or for the same
// path; a missing file is reported as the text followed by `missing_suffix`, a path already in
// the list as " Already Selected". Returns whether the list changed.
bool replace_list_file(Session& s, AllocList& work, int pos, const std::string& text,
                       const std::string& missing_suffix);

// Removes the items at the given positions, whatever their order.
void remove_positions(AllocList& list, std::vector<int> positions);

// The allocfile of each item, in order.
std::vector<std::string> list_files(const AllocList& list);

// Geographic Allocation closing: a cancelled visit gets the committed list back into the working
// list; otherwise the working list is committed, with the note about Region when it was edited.
void close_alloc_visit(Session& s, bool cancelled, bool changed);

// Growth commit: the entries followed by the one empty slot the writer expects; marks the packet.
void commit_growth_files(Scenario& sc, const std::vector<std::string>& entries);

// Equipment Population commit: every entry labelled "Population file    :". A path standing
// twice (Add takes repeats) is kept once, at its first place. Marks the packet.
void commit_pop_files(Scenario& sc, const std::vector<std::string>& entries);

// A menu caption without its first "&": "C&rankcase" -> "Crankcase".
std::string menu_display_name(const std::string& caption);

}  // namespace qv
