#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::reference {

// Loaded copies of reference databases kept between processes, in the per-user cache folder
// (user_cache_dir()/reference): loading a database checks and copies every table of its file,
// which costs a short command more than all its other work, and each command of a campaign
// loads the same file again. A copy is found by the file's name and identity (see `stamp`), so
// a file that changed in any way is read afresh; a copy whose bytes do not match their sum is
// not taken. Keeping and taking are best effort: any failure means the file is read as if
// nothing were kept.
//
// `stamp`: a text that changes whenever the file may have changed (device, inode, size and
// times); `image`: the loaded database as SQLite serializes it.
std::optional<std::string> take_loaded_copy(std::string_view file, std::string_view stamp);
void keep_loaded_copy(std::string_view file, std::string_view stamp, std::string_view image);

}  // namespace qv::reference
