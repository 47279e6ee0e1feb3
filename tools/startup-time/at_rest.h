// What the two timed programs do once their window is shown: quit at once, or, given
// "--at-rest", wait until the event loop has been idle for a while, print the resident and
// proportional set sizes of the process (kB, from /proc/self/smaps_rollup) and quit then.
// The probe also takes "--grab FILE": a picture of its window at rest, saved as FILE.
#pragma once

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace startup_time {

inline bool at_rest_asked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--at-rest") == 0)
            return true;
    return false;
}

// The file named after "--grab", where the probe saves a picture of its window at rest; empty
// when there is none.
inline QString grab_file(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--grab") == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    return {};
}

// "rss_kb pss_kb" of this process; zeros where the kernel does not tell.
inline void print_memory() {
    long rss = 0, pss = 0;
    std::ifstream in("/proc/self/smaps_rollup");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Rss:", 0) == 0)
            rss = std::atol(line.c_str() + 4);
        else if (line.rfind("Pss:", 0) == 0)
            pss = std::atol(line.c_str() + 4);
    }
    std::printf("%ld %ld\n", rss, pss);
    std::fflush(stdout);
}

// `window` and `picture`: with a picture file, the window is saved there once at rest.
inline void quit_when_shown(QCoreApplication& app, bool at_rest, QWidget* window = nullptr,
                            const QString& picture = {}) {
    if (!at_rest && picture.isEmpty()) {
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
        return;
    }
    // Long enough for the exposes, the first paint and any timers of the start-up to be over.
    QTimer::singleShot(500, &app, [&app, at_rest, window, picture] {
        if (at_rest)
            print_memory();
        if (window && !picture.isEmpty())
            window->grab().save(picture);
        app.quit();
    });
}

}  // namespace startup_time
