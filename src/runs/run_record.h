#pragma once

#include <cstdint>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/fs.h"
#include "platform/hash.h"
#include "runs/options_copy.h"
#include "runs/run_facts.h"
#include "scenario/session.h"

namespace qv::runs {

// The format name every record carries; a record of another format is not read.
inline constexpr const char* record_format = "qv-run-record/1";

// One file a record names: an input of the scenario, the options file, the model, the
// reference database or a result of the run.
struct RecordedFile {
    std::string packet;   // inputs: the packet that names it, such as "/RUNFILES/"
    std::string key;      // inputs: the key or label of its line
    std::string written;  // inputs: the name as the scenario holds it
    std::string role;     // "input", "options file", "model", "reference database", or a
                          // result role ("message", "output", "by model year")
    std::string path;     // host path
    // "file"; "pattern" for a name with wildcards and "directory" for a directory, neither of
    // which is hashed or compared.
    std::string kind = "file";
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t mtime_ns = 0;
    std::string sha256;                // empty when the file was not hashed
    std::string not_hashed;            // why an existing file has no sha256 (FileDigest)
    bool written_by_this_run = false;  // results only
};

// Everything a record holds.
struct RunRecord {
    std::string program_name, program_version, host, user, title;
    RecordedFile options_file, model, reference_db;
    std::string command_line, working_dir;
    std::vector<RecordedFile> inputs, results;
    std::int64_t started_ms = 0, ended_ms = 0;  // UTC, milliseconds since the epoch
    std::optional<int> exit_status, signal;
    StopReason stopped = StopReason::none;
    std::string failure;
    std::string note;  // what else the run's user was told, such as a save that was refused
    std::vector<std::string> console_tail;
    std::optional<OptionsCopy> options_copy;  // none in records of older versions

    // The model exited with status 0, was not stopped and nothing else failed.
    bool succeeded() const;
    // How the run ended. A record keeps no separate flag for a model that never started: it
    // has neither an exit status nor a signal.
    RunEnd end() const {
        return {exit_status.has_value() || signal.has_value(), exit_status, signal, stopped,
                failure};
    }
    // Every file the up-to-date check compares: options file, model, reference database,
    // inputs, then results.
    std::vector<const RecordedFile*> files() const;
};

// The record as JSON text. Taken by value: its last console lines (megabytes, for a model that
// prints long lines) move into the text's making instead of being copied.
std::string record_json(RunRecord record);

// Reads a record; throws RecordError saying why it cannot ("not JSON: ...", "format ...").
RunRecord parse_record(std::string_view text);

struct RecordError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "2026-12-09T08:15:02.123Z".
std::string iso_utc(std::int64_t ms_since_epoch);
// "2026-12-09T08:15:02.123Z" back to milliseconds; nullopt when it is not of that form.
std::optional<std::int64_t> parse_iso_utc(const std::string& text);

// What a record will hold about the scenario, with every path resolved to the host's form at
// the moment of the call, so that the hashing thread never depends on the current directory.
struct RecordPlan {
    std::string program_name = "qvopt";
    std::string title;
    std::string output_file;  // program path of the output data file; empty: none
    RecordedFile options_file, model, reference_db;
    std::vector<RecordedFile> inputs;   // without their facts yet
    std::vector<RecordedFile> results;  // roles and paths
    std::string note;                   // as RunRecord::note
};

// Every file the scenario names that the model reads, then its results, as the model resolves
// the names (relative to model_dir).
RecordPlan plan_record(const Session& s, std::string program_name);

// The host path of the record of a scenario's latest run; empty when it names no output file.
std::string record_path_of(const Session& s);
// The record beside an output data file (program path): the output's name as it is on disk with
// ".run.json" appended, or an existing record whose name differs from that only in letter case;
// while the output is missing, the same of the name as the scenario writes it.
std::string record_path_for(const FileSystem& fs, const std::string& output_file);
class SeenFiles;
// The same, with the output looked at through SEEN.
std::string record_path_for(const FileSystem& fs, const std::string& output_file, SeenFiles& seen);

// Size, time and (for an existing ordinary file, when asked) the content hash of `f.path`.
void examine(const FileSystem& fs, const Hasher& hasher, RecordedFile& f, bool hash = true,
             const Hasher::StopCheck& stop = {});

// Follows one run and writes its record. run_started hashes the inputs on a thread of its own
// while the model runs; run_ended waits for that, hashes the results and writes the record
// beside the output data file (temporary file, then rename). A record that cannot be written
// leaves write_error() set; the run itself is never failed by it.
class RunRecorder final : public RunObserver {
  public:
    RunRecorder(FileSystem& fs, const Hasher& hasher, RecordPlan plan);
    ~RunRecorder() override;
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    void run_started(const RunFacts& facts) override;
    void run_ended(const RunFacts& facts) override;

    // Hashing stops when STOP says so (the program was asked to end): the files not hashed by
    // then are recorded as not hashed, and the record is still written at once. Set it before
    // the run starts; it is asked from the hashing thread too.
    void stop_when(Hasher::StopCheck stop) { stop_ = std::move(stop); }

    // Where the record was written (known once the run has ended).
    const std::string& record_path() const { return record_path_; }
    // Why the record was not written; empty when it was (or the run has not ended).
    const std::string& write_error() const { return write_error_; }
    bool written() const { return written_; }

  private:
    void copy_options_text();

    FileSystem& fs_;
    const Hasher& hasher_;
    RecordPlan plan_;
    std::optional<OptionsCopy> options_copy_;
    Hasher::StopCheck stop_;
    std::future<void> inputs_hashed_;
    std::string record_path_;
    std::string write_error_;
    bool written_ = false;
};

// What the up-to-date check found.
enum class RecordState { up_to_date, out_of_date, failed, never_run, unreadable };

struct ChangedFile {
    std::string role;    // as in RecordedFile
    std::string path;    // host path
    std::string change;  // "changed", "deleted" or "created"
};

struct RecordStatus {
    RecordState state = RecordState::never_run;
    std::string why;  // unreadable: the reason; failed: how the run ended
    std::vector<ChangedFile> changed;
    std::optional<RunRecord> record;

    // The changes among the files the run read (not its results).
    std::vector<ChangedFile> changed_inputs() const;
};

// What one command has found of the files that the records it checks name, so that a file that
// thousands of records share (the model, the reference database, the data files) is looked at
// once. It lives no longer than one command: a file changed meanwhile is not seen again. Safe
// to share between threads.
class SeenFiles {
  public:
    FileDigest sha256(const Hasher& hasher, const std::string& host_path);
    // What fs.host_facts(path, host) gives, looked up once.
    std::optional<FileFacts> host_facts(const FileSystem& fs, const std::string& path,
                                        std::string& host);

    // The same without a copy: the host path stays as long as this object.
    struct Seen {
        std::string host;
        std::optional<FileFacts> facts;
    };
    const Seen& look(const FileSystem& fs, const std::string& path);

  private:
    std::mutex mutex_;
    std::unordered_map<std::string, Seen> seen_;
    std::unordered_map<std::string, FileDigest> sums_;
};

// Compares the files of the record at `record_path` (host path) with the disk: size and time
// first, the content hash only for a file whose size or time moved. A missing record is
// "never run"; a record of a failed run is "failed"; a record that cannot be read is
// "unreadable", with why.
RecordStatus check_record(const std::string& record_path, const FileSystem& fs,
                          const Hasher& hasher, SeenFiles* seen = nullptr);

// As check_record, for a status of thousands of scenarios: the record it gives holds only what
// the check needs (read_record_for_check).
RecordStatus check_record_briefly(const std::string& record_path, const FileSystem& fs,
                                  const Hasher& hasher, SeenFiles& seen);

// As check_record, but hashes every file again whatever its size and time.
RecordStatus verify_record(const std::string& record_path, const FileSystem& fs,
                           const Hasher& hasher);

// "up to date", "out of date: <path> changed, <path> deleted and 2 more", "failed last run:
// exit status 1", "never run", "record unreadable: not JSON ..."; at most `named` files named.
std::string describe(const RecordStatus& status, std::size_t named = 3);

// "<path> changed" and so on for the first `named` of `changed`, then " and N more".
std::string list_changes(const std::vector<ChangedFile>& changed, std::size_t named);

}  // namespace qv::runs
