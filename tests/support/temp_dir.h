#pragma once

#include <filesystem>
#include <string>

namespace qv::test {

// A fresh directory under the system temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Writes a file (creating its directories) and returns its full path.
    std::string write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const;

  private:
    std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& p);

struct DemoCopy {
    bool no_results = false;     // outputs/ present, without the demo's message and output file
    bool model_program = false;  // the stand-in model copied in as qv-demo-model
};
// Copies the built demo workspace's model directory (data tree, reference database, demo.opt)
// to `to`.
void copy_demo_model(const std::filesystem::path& to, DemoCopy what = {});

}  // namespace qv::test
