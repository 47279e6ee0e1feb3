#pragma once

#include "platform/model_launcher.h"

namespace qv {

// Starts models on a POSIX host (Linux).
//
// The model leads a process group of its own, with its standard input from /dev/null and its
// standard output and error in one pipe, or in one file that is read back as it grows. It must
// never outlive this program, even when this program is killed: the model gets SIGTERM when the
// thread that started it ends (PR_SET_PDEATHSIG), and a small watcher process, which only waits on
// a socket from this program, ends the model's whole group and every process that carries the
// run's mark (SIGTERM, then SIGKILL after a grace period) should this program end before the
// run does. One watcher serves all the runs of this program; a run it cannot take gets one of
// its own.
class PosixModelLauncher final : public ModelLauncher {
  public:
    std::unique_ptr<ModelProcess> launch(const std::string& program,
                                         const std::vector<std::string>& args,
                                         const std::string& working_dir,
                                         const std::string& output_file = {}) override;
};

}  // namespace qv
