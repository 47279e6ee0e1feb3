#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

namespace qv::reference {

// Catches whatever is written to the process's standard output and standard error while it is
// alive, so that a library that prints warnings and hex dumps straight to stdio can never mix
// them into the program's own output (a JSON document, a listing). File descriptors 1 and 2 are
// pointed at an anonymous temporary file and put back on destruction.
//
// The descriptors belong to the whole process, so captures are serialised by one process-wide
// mutex: a worker thread opening a database waits for another one to finish. A capture inside
// another on the same thread catches what is written while it lives and then hands the
// descriptors back to the outer one. Output that other threads write meanwhile lands in the
// capture as well; callers keep the captured section short.
class StdioCapture {
  public:
    // Throws std::system_error when the descriptors cannot be redirected.
    StdioCapture();
    ~StdioCapture();
    StdioCapture(const StdioCapture&) = delete;
    StdioCapture& operator=(const StdioCapture&) = delete;

    // The text written since the capture began or since the previous take(), at most `limit`
    // bytes of it; the rest is dropped.
    std::string take(std::size_t limit = 4096);

  private:
    // A descriptor that was closed before the capture is closed again after it.
    struct Saved {
        int fd;
        int copy = -1;
        bool redirected = false;
    };
    void restore(Saved& s);

    std::unique_lock<std::recursive_mutex> lock_;
    std::FILE* sink_ = nullptr;
    Saved out_{1};
    Saved err_{2};
};

// The first line of `text` that holds more than blanks, trimmed; empty when there is none.
std::string first_line(const std::string& text);

}  // namespace qv::reference
