#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::listing {

// The entry of the folder `dir` (a host path) equal to `name` apart from ASCII letter case;
// the first in byte order when there are several. Shared by every HostFileSystem of the
// process, so that N look-ups in a folder of N files cost N look-ups and not N listings, and
// a few look-ups in a huge folder need not read it at all.
//
// A folder asked about a few times is not listed: the case variants of the name are looked up
// one by one, for as long as that costs less than reading the folder would. Then the folder is
// listed once and the listing kept:
// - on a local file system, under an inotify watch set before the listing is read, whose
//   events bring the listing up to date before every answer, whoever made the change: it
//   holds while a model makes files beside it;
// - elsewhere (a network file system, whose other clients raise no events, or where no watch
//   can be had), while the folder keeps the modification time it was listed with, where that
//   time was well before the listing (the host stamps folder times from a clock that may lag
//   a tick, so a change just after a listing could keep its time; a time of a whole second
//   may be of a file system that keeps only seconds, where a change in the same second keeps
//   it), and until this process changes the folder.
// A folder is known by device and inode, checked on every answer, so a folder replaced, or a
// path that leads elsewhere now, is read anew.
std::optional<std::string> case_match(const std::string& dir, std::string_view name);

// Called after this process has created, renamed or removed an entry of the folder `dir`.
void entries_changed(const std::string& dir);

// Whether listings may be kept under watches (the default); without, every listing is kept by
// its folder's time, as on a network file system. For tests of that way.
void set_watching(bool on);

// `s` with its ASCII capitals made small, the form names are compared in apart from case.
std::string lowered(std::string_view s);

// dir/name, with one separator between them.
std::string child(const std::string& dir, std::string_view name);

}  // namespace qv::listing
