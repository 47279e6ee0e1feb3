#pragma once

#include <string>
#include <vector>

namespace qv {

class Processes {
  public:
    virtual ~Processes() = default;
    // Starts a program that runs on by itself (a viewer, the reporting tool): not waited for.
    // Throws AppError when the program cannot be started.
    virtual void start_detached(const std::string& program, const std::vector<std::string>& args,
                                const std::string& working_dir) = 0;
};

}  // namespace qv
