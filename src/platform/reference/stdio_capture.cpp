#include "platform/reference/stdio_capture.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace qv::reference {

namespace {

std::recursive_mutex& capture_mutex() {
    static std::recursive_mutex m;
    return m;
}

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

StdioCapture::StdioCapture() : lock_(capture_mutex()) {
    // What the program itself wrote before belongs on the real streams.
    std::fflush(stdout);
    std::fflush(stderr);
    sink_ = std::tmpfile();
    if (!sink_)
        fail("cannot create a file for library messages");
    for (Saved* s : {&out_, &err_}) {
        s->copy = dup(s->fd);
        if ((s->copy < 0 && errno != EBADF) || dup2(fileno(sink_), s->fd) < 0) {
            int e = errno;
            if (s->copy >= 0)
                close(s->copy);
            restore(out_);
            restore(err_);
            std::fclose(sink_);
            errno = e;
            fail("cannot redirect library messages");
        }
        s->redirected = true;
    }
}

StdioCapture::~StdioCapture() {
    std::fflush(stdout);
    std::fflush(stderr);
    restore(out_);
    restore(err_);
    std::fclose(sink_);
}

void StdioCapture::restore(Saved& s) {
    if (!s.redirected)
        return;
    if (s.copy >= 0) {
        dup2(s.copy, s.fd);
        close(s.copy);
    } else {
        close(s.fd);
    }
    s.copy = -1;
    s.redirected = false;
}

std::string StdioCapture::take(std::size_t limit) {
    std::fflush(stdout);
    std::fflush(stderr);
    int fd = fileno(sink_);
    std::string text(limit, '\0');
    std::size_t got = 0;
    while (got < limit) {
        ssize_t n = pread(fd, text.data() + got, limit - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    // Descriptors 1 and 2 share the sink's file offset, so this starts all three afresh.
    if (ftruncate(fd, 0) == 0)
        lseek(fd, 0, SEEK_SET);
    return text;
}

std::string first_line(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::size_t b = text.find_first_not_of(" \t\r", start);
        if (b != std::string::npos && b < end) {
            std::size_t e = text.find_last_not_of(" \t\r", end - 1);
            return text.substr(b, e + 1 - b);
        }
        start = end + 1;
    }
    return {};
}

}  // namespace qv::reference
