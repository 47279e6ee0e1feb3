#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"

namespace qv {

// The file system of a POSIX host, reached with program paths (see FileSystem for the mapping).
//
// A path that is empty or holds a NUL byte names no file: host_path() gives "" for it, reads
// report it missing and writes fail. New files get the process's umask; an atomic write keeps
// the permission bits, owner and group of the file it replaces. Locks are flock(2) locks.
//
// A relative path is taken against the process's current directory, which set_current_dir
// changes, unless the file system has a current directory of its own
// (use_private_current_dir).
class HostFileSystem final : public FileSystem {
  public:
    HostFileSystem() = default;
    ~HostFileSystem() override;
    HostFileSystem(const HostFileSystem&) = delete;
    HostFileSystem& operator=(const HostFileSystem&) = delete;

    // From now on the file system has a current directory of its own, at first the process's:
    // set_current_dir moves only it, and every relative path is taken against it, while the
    // process's current directory stays where it is. Threads that each work through a file
    // system of their own then never see another's directory. The directory is held open, so
    // that it is known as the process's would be when it is renamed or removed.
    void use_private_current_dir();

    std::string host_path(std::string_view path) const override;
    std::string program_path(std::string_view host) const override;

    std::string read_file(std::string_view path) const override;
    std::string read_file_with_facts(std::string_view path, FileFacts& facts) const override;
    void write_file(std::string_view path, std::string_view bytes) override;
    FileFacts write_file_atomic(std::string_view path, std::string_view bytes) override;
    std::unique_ptr<WriteGroup> write_group() override;
    // A write group that flushes each file on its own, as write_group does on a file system
    // where one flush of the whole file system is not known to be sound.
    std::unique_ptr<WriteGroup> write_group_flushing_each_file();
    std::unique_ptr<FileLock> lock_file(std::string_view path) override;
    void replace(std::string_view from, std::string_view to) override;
    bool remove(std::string_view path) override;
    std::unique_ptr<LineSink> create_line_file(std::string_view path) override;

    std::optional<FileFacts> facts(std::string_view path) const override;
    std::optional<FileFacts> host_facts(std::string_view path, std::string& host) const override;
    // From what was found before where that still holds (entry_memo).
    std::optional<std::string> entry_on_disk(std::string_view dir,
                                             std::string_view name) const override;
    std::vector<std::string> list(std::string_view pattern, int attributes) const override;
    bool same_file(std::string_view a, std::string_view b) const override;

    std::string current_dir() const override;
    void set_current_dir(std::string_view path) override;

    std::string temp_file() override;

    class Group;

  private:
    // The host path of the current directory that relative paths are taken against.
    std::string working_dir() const;

    Group* group_ = nullptr;  // the write group under way, if any
    int own_dir_ = -1;        // the directory of use_private_current_dir, or -1: the process's
};

}  // namespace qv
