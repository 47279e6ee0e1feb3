#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/app_error.h"
#include "platform/process.h"

namespace qv::test {

// Records what the program starts; fails every start with `failure` when it is set. A start
// that would be waited for always fails (with 53 unless `failure` says otherwise): tests that
// need a real process use PosixProcesses.
class FakeProcesses : public Processes {
  public:
    struct Start {
        std::string program;
        std::vector<std::string> args;
        std::string working_dir;
        bool detached = false;
    };

    std::unique_ptr<ProcessHandle> start(const std::string& program,
                                         const std::vector<std::string>& args,
                                         const std::string& working_dir, WindowStyle) override {
        record(program, args, working_dir, false);
        throw AppError(err::file_not_found, "File not found");
    }
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
