// The baseline: an empty main window, shown, then an immediate exit (or, with --at-rest, one
// once the event loop is idle).
#include <QApplication>
#include <QMainWindow>

#include "at_rest.h"

int main(int argc, char** argv) {
    const bool at_rest = startup_time::at_rest_asked(argc, argv);
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    startup_time::quit_when_shown(app, at_rest);
    return app.exec();
}
