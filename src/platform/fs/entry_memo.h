#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::entry_memo {

// What the entry `name` of the folder `dir` (a clean absolute host path: "/" or "/a/b") is,
// as HostFileSystem::entry_on_disk tells it: known, and then its name on disk when it exists,
// or not known here (the caller works it out itself).
struct Found {
    bool known = false;
    std::optional<std::string> name;
};

// Shared by every HostFileSystem of the process, so that a command writing thousands of files
// that name the same inputs looks each one up once. An answer is kept only on a local file
// system and only under inotify watches on every folder from the root down to `dir`, each set
// before the look-up it covers; the events queued are read before every answer, so that a
// change by this process or another one, to the entry or to any folder above it, is never
// answered from what was found before it. Who may search the folders on the way is checked on
// every look-up, as a watch of attributes would cost a mark on every entry of the folder. A name
// that is a symbolic link, or is reached through one, is looked up each time.
Found look(const std::string& dir, std::string_view name);

}  // namespace qv::entry_memo
