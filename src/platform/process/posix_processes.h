#pragma once

#include <string>
#include <vector>

#include "platform/process.h"

namespace qv {

// Detached processes of a POSIX host, started with fork and exec. The model's own runs go
// through PosixModelLauncher.
class PosixProcesses final : public Processes {
  public:
    // The program is looked up in PATH when its name holds no "/"; a relative path is taken
    // against the caller's current directory. AppError 53 when there is no such program, 76
    // when the working directory cannot be entered, 75 when it cannot be run otherwise.
    // An empty working_dir keeps the caller's.
    // Not waited for and not a child of ours once started.
    void start_detached(const std::string& program, const std::vector<std::string>& args,
                        const std::string& working_dir) override;
};

}  // namespace qv
