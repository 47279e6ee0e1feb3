#include "shell/application.h"

#include <cstdio>
#include <exception>

#include "platform/program_end.h"
#include "platform/qt/program_ending.h"
#include "qv_version.h"

namespace qv {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("qv-gui");
    // No display name: the window system would append it to every window's caption.
    setApplicationVersion(program_version_text);
}

bool Application::ended() const {
    return program_ending();
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const ProgramEnd&) {
        set_program_ending(true);
        closeAllWindows();
        exit(0);
    } catch (const ChooserStop&) {
        set_program_ending(true);
        exit(0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qv-gui: unexpected failure: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "qv-gui: unexpected failure\n");
    }
    return false;
}

}  // namespace qv
