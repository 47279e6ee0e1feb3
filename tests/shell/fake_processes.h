#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/app_error.h"
#include "platform/process.h"

namespace qv::test {

// Records what the program starts; fails every start with `failure` when it is set.
class FakeProcesses : public Processes {
  public:
    struct Start {
        std::string program;
        std::vector<std::string> args;
        std::string working_dir;
        bool detached = false;
    };

    void start_detached(const std::string& program, const std::vector<std::string>& args,
                        const std::string& working_dir) override {
        record(program, args, working_dir, true);
    }

    std::vector<Start> starts;
    std::optional<int> failure;

  private:
    void record(const std::string& program, const std::vector<std::string>& args,
                const std::string& working_dir, bool detached) {
        if (failure)
            throw AppError(*failure, "Simulated failure");
        starts.push_back({program, args, working_dir, detached});
    }
};

}  // namespace qv::test
