#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"

namespace qv {

// Processes of a POSIX host, started with fork and exec.
//
// Each started process leads a process group of its own, so that terminate() reaches whatever
// the model started too. The window style is a hint this host has no use for.
//
// When on_output is set, the standard output and error of every process started afterwards go
// through one pipe, and each complete line (without its line end) is handed to on_output from
// running() as it arrives; the last, unterminated line follows once the process has ended.
// Without it the process writes to the caller's own output and error.
class PosixProcesses final : public Processes {
  public:
    std::function<void(const std::string& line)> on_output;

    // The program is looked up in PATH when its name holds no "/"; a relative path is taken
    // against the caller's current directory. AppError 53 when there is no such program, 76
    // when the working directory cannot be entered, 75 when it cannot be run otherwise.
    // An empty working_dir keeps the caller's.
    std::unique_ptr<ProcessHandle> start(const std::string& program,
                                         const std::vector<std::string>& args,
                                         const std::string& working_dir,
                                         WindowStyle style) override;
    // Not waited for and not a child of ours once started; same failures as start().
    void start_detached(const std::string& program, const std::vector<std::string>& args,
                        const std::string& working_dir) override;
};

}  // namespace qv
