#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "cli/headless.h"
#include "platform/hash.h"
#include "runs/batch_status.h"

namespace CLI {
class App;
}

namespace qv::runs {
class SeenFiles;
}

namespace qv::cli {

// `qvopt batch slurm` and `qvopt batch status`, added to a `batch` subcommand.
class BatchSlurmCommands {
  public:
    // Adds the two subcommands to BATCH; the object keeps their options.
    explicit BatchSlurmCommands(CLI::App& batch);
    ~BatchSlurmCommands();

    // One of the two was on the command line.
    bool parsed() const;

    // Runs the one that was parsed. CHECK reads a scenario's run record (record_checker).
    int run(const CommonOptions& common, std::ostream& out, std::ostream& err,
            const runs::RecordCheck& check) const;

  private:
    struct Options;
    std::unique_ptr<Options> opt_;
};

// What each scenario's run record says, read from "<output data file>.run.json" and checked
// with HASHER, which must outlive the check; the files the records share are looked at once
// for all the checks of one checker.
runs::RecordCheck record_checker(const Hasher& hasher);

}  // namespace qv::cli
