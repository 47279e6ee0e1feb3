#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runs/run_record.h"
#include "scenario/scenario_compare.h"
#include "scenario/session.h"

namespace qv::runs {

// The options text a record kept, or why there is none: "not recorded" (a record of an older
// version) or "not recorded in full: the options file was longer than 1 MiB".
std::optional<std::string> recorded_options_text(const RunRecord& record, std::string& why_not);

// Shows one file with a text of its own and passes everything else to another file system.
class OverlayFileSystem final : public FileSystem {
  public:
    OverlayFileSystem(FileSystem& base, std::string path, std::string text)
        : base_(base), path_(std::move(path)), text_(std::move(text)) {}

    std::string host_path(std::string_view path) const override { return base_.host_path(path); }
    std::string program_path(std::string_view host) const override {
        return base_.program_path(host);
    }
    std::string read_file(std::string_view path) const override;
    std::string read_file_with_facts(std::string_view path, FileFacts& facts) const override;
    void write_file(std::string_view path, std::string_view bytes) override {
        base_.write_file(path, bytes);
    }
    FileFacts write_file_atomic(std::string_view path, std::string_view bytes) override {
        return base_.write_file_atomic(path, bytes);
    }
    std::unique_ptr<FileLock> lock_file(std::string_view path) override {
        return base_.lock_file(path);
    }
    void replace(std::string_view from, std::string_view to) override { base_.replace(from, to); }
    bool remove(std::string_view path) override { return base_.remove(path); }
    std::unique_ptr<LineSink> create_line_file(std::string_view path) override {
        return base_.create_line_file(path);
    }
    std::optional<FileFacts> facts(std::string_view path) const override;
    std::vector<std::string> list(std::string_view pattern, int attributes) const override {
        return base_.list(pattern, attributes);
    }
    bool same_file(std::string_view a, std::string_view b) const override {
        return base_.same_file(a, b);
    }
    std::string current_dir() const override { return base_.current_dir(); }
    void set_current_dir(std::string_view path) override { base_.set_current_dir(path); }
    std::string temp_file() override { return base_.temp_file(); }

  private:
    bool is_overlaid(std::string_view path) const;

    FileSystem& base_;
    std::string path_;
    std::string text_;
};

// The scenario as a run had it: the options text its record kept, read in a session of its own
// as the options file that the run was given (so names relative to that file's folder resolve
// as they did), with the settings, state table and services of `like`.
class RecordedScenario {
  public:
    RecordedScenario(const Session& like, Ui& ui, const RunRecord& record, std::string text);

    // Reads the text, with every message and check of a read; ProgramEnd and ChooserStop pass
    // through as they do from any read.
    void read();
    Session& session() { return s_; }

  private:
    OverlayFileSystem fs_;
    Session s_;
};

// The field differences between the scenario a record's run had and the scenario `now` has
// read, or why they are not known.
struct ScenarioChanges {
    std::vector<Difference> differences;
    std::string unknown;  // "not recorded", ...; empty when the differences are known
};
ScenarioChanges changes_since_run(const Session& now, const RunRecord& record, Ui& ui);

}  // namespace qv::runs
