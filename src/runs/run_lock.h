#pragma once

#include <memory>
#include <optional>
#include <string>

namespace qv::runs {

// Who holds a scenario's running lock, as its lock file names it.
struct LockHolder {
    long pid = 0;         // 0 while the holder is still writing its name
    std::string started;  // when its run began, "2026-12-09T08:15:02.123Z"
};

// "process 1234 since 2026-12-09T08:15:02.123Z".
std::string describe(const LockHolder& holder);

// The lock file beside a run record: "<output data file>.run.lock".
std::string lock_path_for(const std::string& record_path);

// The running-scenario lock. While a scenario runs on this machine, its run holds an exclusive
// lock on the lock file beside its record (an open-file-description lock, which the system
// drops when the holder ends, however it ends), and the file names the holder's process and
// start time. A file left by a holder that is gone holds no lock and is taken over.
class RunLock {
  public:
    ~RunLock();  // removes the file, then lets the lock go
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    struct Attempt {
        std::unique_ptr<RunLock> lock;     // taken
        std::optional<LockHolder> holder;  // else: another run holds it
        std::string error;                 // else: why the lock file could not be used
    };
    // Takes the lock of the scenario whose run record is at RECORD_PATH (a host path), without
    // waiting.
    static Attempt take(const std::string& record_path);

  private:
    RunLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
};

// Who runs the scenario whose run record is at RECORD_PATH at the moment; nullopt when no one
// does. Only looks: the lock is neither taken nor disturbed.
std::optional<LockHolder> run_lock_holder(const std::string& record_path);

}  // namespace qv::runs
