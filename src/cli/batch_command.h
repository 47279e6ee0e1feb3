#pragma once

#include <memory>
#include <ostream>

#include "cli/headless.h"
#include "cli/services.h"
#include "runs/worker_pool.h"

namespace CLI {
class App;
}

namespace qv::cli {

// `qvopt batch make`, `batch run`, its single-scenario form `batch run-one` and `batch facts`,
// added to a `batch` subcommand.
class BatchCommands {
  public:
    struct Options;

    // Adds the two subcommands to BATCH; the object keeps their options.
    explicit BatchCommands(CLI::App& batch);
    ~BatchCommands();

    // One of them was on the command line.
    bool parsed() const;

    // Runs the one that was parsed. RUNNER replaces how `batch run` runs a scenario and reads
    // its record (tests give stand-ins); unset parts take the defaults.
    int run(const CommonOptions& common, const char* argv0, std::ostream& out, std::ostream& err,
            const Services& services, const runs::BatchRunner& runner = {}) const;

  private:
    std::unique_ptr<Options> opt_;
};

}  // namespace qv::cli
