#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qv {

enum class WindowStyle { Hidden, Normal, Minimized, Maximized };

// A started process that can be asked whether it still runs.
class ProcessHandle {
public:
    virtual ~ProcessHandle() = default;
    virtual bool running() = 0;
    virtual int exit_code() = 0;  // valid once running() is false
    virtual void terminate() = 0;  // ends the process and whatever it started
};

class Processes {
public:
    virtual ~Processes() = default;
    // Throws AppError when the program cannot be started.
    virtual std::unique_ptr<ProcessHandle> start(const std::string& program,
                                                 const std::vector<std::string>& args,
                                                 const std::string& working_dir,
                                                 WindowStyle style) = 0;
    virtual void start_detached(const std::string& program, const std::vector<std::string>& args,
                                const std::string& working_dir) = 0;
};

}  // namespace qv
