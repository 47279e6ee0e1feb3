// The baseline: an empty main window, shown, then an immediate exit (or, with --at-rest, one
// once the event loop is idle). Built a second time with WITH_MENU_AND_TEXT as a main window
// with a menu bar and a line of text, which loads what any window with menus and text loads
// (the style's menu icons and their image plugins, fontconfig, the font rasteriser and shaper),
// so that qv-gui's start-up can also be set against it.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

#include "at_rest.h"

int main(int argc, char** argv) {
    const bool at_rest = startup_time::at_rest_asked(argc, argv);
    QApplication app(argc, argv);
    QMainWindow window;
#ifdef WITH_MENU_AND_TEXT
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"));
    window.setCentralWidget(new QLabel(QStringLiteral("A line of text")));
#endif
    window.show();
    startup_time::quit_when_shown(app, at_rest);
    return app.exec();
}
