#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/path_form.h"

namespace qv {

// Listing attributes: 0 ordinary files only, 16 directories too.
constexpr int attr_normal = 0;
constexpr int attr_directory = 16;

struct FileFacts {
    bool is_dir = false;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;     // seconds since the epoch
    std::int64_t mtime_ns = 0;  // nanoseconds since the epoch, where the host keeps them
};

// An advisory lock on a file, held while the object lives.
class FileLock {
  public:
    virtual ~FileLock() = default;
};

// Atomic writes made together (see FileSystem::write_group). finish() waits until each file of
// the group is in place and lasting, and names the first that could not be put there (the
// others are); empty when all were. The end of the group finishes it.
class WriteGroup {
  public:
    virtual ~WriteGroup() = default;
    virtual std::string finish() { return {}; }
};

// The one temporary name an atomic write of the file `file_name` uses beside it: hidden, and
// the same for every write of that file, so that a write killed part-way leaves at most this
// one file, which the next write takes over.
inline std::string save_temp_name(std::string_view file_name) {
    return "." + std::string(file_name) + ".qv-save";
}

// A text file written line by line, each line flushed at once (the run log).
class LineSink {
  public:
    virtual ~LineSink() = default;
    virtual void write_line(std::string_view line) = 0;
};

// Every touch of the file system. Paths are in program form: "\" or "/" separate, a leading
// drive such as "C:" stands for the root on POSIX hosts, a relative path is taken against the
// current directory, and a component that does not exist in its exact case matches the entry
// that differs only in letter case. Failures throw AppError.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The host path a program path maps to (after the case-insensitive fallback).
    virtual std::string host_path(std::string_view path) const = 0;
    // A host path (command line, chooser) in program form: absolute, with the host's separators.
    virtual std::string program_path(std::string_view host) const = 0;

    // Whole file as bytes. Missing: AppError 53; otherwise unreadable: AppError 75.
    virtual std::string read_file(std::string_view path) const = 0;
    // The same, with the size and modification time of the file that was read.
    virtual std::string read_file_with_facts(std::string_view path, FileFacts& facts) const = 0;
    // Create or truncate and write; AppError 75 when it cannot.
    virtual void write_file(std::string_view path, std::string_view bytes) = 0;
    // Write beside the target under its temporary name (save_temp_name), then replace the target
    // in one step; returns the facts of the new file. A symbolic link is followed: the file it
    // names is replaced and the link stays. A replaced file keeps its permission bits (and owner
    // and group where the process may set them). A file that nobody may write is refused as
    // read-only (AppError 70), even when the process could override that; another writer of the
    // same target that keeps at it past a few seconds gives FileBusyError. The target is
    // untouched when anything fails.
    virtual FileFacts write_file_atomic(std::string_view path, std::string_view bytes) = 0;
    // While the group lives, write_file_atomic leaves the flush of each file to the disk, and
    // its move into place, to the group, which flushes many files together (with one flush of
    // the whole file system where that is sound), so that thousands of new files cost about
    // what writing them does; each file still lasts whole before it takes its name. A file of the
    // group may take its name only once the call has returned, so none may be read before the group
    // has finished. Where the file system has no such way, each write is done at once.
    virtual std::unique_ptr<WriteGroup> write_group() { return std::make_unique<WriteGroup>(); }
    // An exclusive advisory lock on an existing file (the file a link names), for a
    // read-merge-write that other programs doing the same must not interleave with. Waits a
    // few seconds for another holder, then fails with FileBusyError (AppError 70); any other
    // refusal is AppError 70 too. nullptr when there is no such file.
    virtual std::unique_ptr<FileLock> lock_file(std::string_view path) = 0;
    // Rename `from` over `to` in one step (the target is replaced if present).
    virtual void replace(std::string_view from, std::string_view to) = 0;
    virtual bool remove(std::string_view path) = 0;
    virtual std::unique_ptr<LineSink> create_line_file(std::string_view path) = 0;

    virtual std::optional<FileFacts> facts(std::string_view path) const = 0;
    // What host_path and then facts of that give, HOST set to the former: in one look-up where
    // the host can (a status check looks at thousands of recorded paths).
    virtual std::optional<FileFacts> host_facts(std::string_view path, std::string& host) const {
        host = host_path(path);
        return facts(host);
    }
    // The name in its case on disk of the entry that NAME (one component) names in the folder
    // DIR, where host_path of DIR/NAME leads to something that facts finds; nullopt elsewhere.
    virtual std::optional<std::string> entry_on_disk(std::string_view dir,
                                                     std::string_view name) const {
        const std::string host = host_path(join_path(dir, name));
        if (!facts(host))
            return std::nullopt;
        return host.substr(host.find_last_of("\\/") + 1);
    }
    // Names (without directory) of the entries that match the last component of `pattern`
    // ("*" and "?", letter case ignored), sorted without regard to case. With attr_normal
    // only ordinary files; with attr_directory, directories too (a pattern naming a directory
    // itself lists it).
    virtual std::vector<std::string> list(std::string_view pattern, int attributes) const = 0;
    // True when two paths name the same existing file, or would after the case fallback.
    virtual bool same_file(std::string_view a, std::string_view b) const = 0;

    virtual std::string current_dir() const = 0;              // program form
    virtual void set_current_dir(std::string_view path) = 0;  // AppError 76 when it fails

    // A new unique name "QV" + hex digits + ".tmp", reserved in the system temporary directory;
    // returns the full path in program form.
    virtual std::string temp_file() = 0;
};

}  // namespace qv
