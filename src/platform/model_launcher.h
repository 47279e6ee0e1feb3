#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// A started model: a process leading a process group of its own, its standard output and error
// going through one pipe, and kept from outliving this program (also when this program is killed).
class ModelProcess {
  public:
    struct Exit {
        std::optional<int> status;  // the exit status, when the model exited
        std::optional<int> signal;  // the signal that ended it, when one did
    };

    virtual ~ModelProcess() = default;

    // Waits until output arrives, the model ends, `wake_fd` (when not -1) becomes readable or
    // `timeout` passes, and appends the output that can be read without waiting to `output`.
    // True once the model has ended; all it wrote before ending has then been read. The model
    // stays unreaped until reap(), so its process group id cannot pass to another process.
    virtual bool wait(std::chrono::milliseconds timeout, int wake_fd, std::string& output) = 0;
    // Asks every process of the model's group to end (SIGTERM), and every process it started
    // that left the group (setsid() included).
    virtual void terminate_group() = 0;
    // Ends all of those at once (SIGKILL).
    virtual void kill_group() = 0;
    // Whether the model has ended, without reading its output or reaping it. Safe to ask from
    // another thread while wait() is not running; false where it cannot be told.
    virtual bool has_exited() const { return false; }
    // Once wait() has returned true: collects how the model ended.
    virtual Exit reap() = 0;
    // Once reaped: ends what the model started that still runs, wherever it went (SIGTERM, a
    // grace period, SIGKILL). Returns how many processes could not be ended.
    virtual std::size_t end_descendants() { return 0; }

    // Where the model writes into a file (launch's output_file): from now on wait() leaves the
    // output it finds in the file instead of appending it to its string, and copies it to `fd`
    // unless that is -1, inside the system where the descriptor allows, so that a flood of output
    // never passes through this program. False, and nothing changes, where the output comes
    // through a pipe.
    virtual bool pass_output_on(int fd) {
        (void)fd;
        return false;
    }
    // Once the output is passed on: how many bytes of it wait() has taken so far, and up to
    // `size` of them read back from `offset` (returns how many it read).
    virtual std::uint64_t output_taken() const { return 0; }
    virtual std::size_t read_output(std::uint64_t offset, char* data, std::size_t size) const {
        (void)offset, (void)data, (void)size;
        return 0;
    }
};

// Starts models.
class ModelLauncher {
  public:
    virtual ~ModelLauncher() = default;
    // Starts `program` with `args` in `working_dir`. Throws AppError when it cannot: 53 no such
    // program, 76 the working directory cannot be entered, 75 otherwise; its description is
    // the system's reason ("Permission denied").
    //
    // With an `output_file` (a host path), the model writes its output straight into that file
    // (created, or emptied) and wait() reads it back from there as it grows: the model then
    // writes at the speed of the disk, never waiting for the reader. Without one its output
    // goes through a pipe.
    virtual std::unique_ptr<ModelProcess> launch(const std::string& program,
                                                 const std::vector<std::string>& args,
                                                 const std::string& working_dir,
                                                 const std::string& output_file = {}) = 0;
};

}  // namespace qv
