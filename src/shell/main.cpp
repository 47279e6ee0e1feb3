// qv-gui: the desktop front end. Builds the platform services and the session, then hands over
// to the main window's start-up sequence and the event loop.
#include <QCoreApplication>
#include <QFile>

#include "platform/fs/host_file_system.h"
#include "platform/process/posix_processes.h"
#include "platform/program_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "shell/application.h"
#include "shell/qv_gui.h"
#include "shell/run_and_viewers.h"

int main(int argc, char** argv) {
    qv::Application app(argc, argv);
    app.setWindowIcon(QIcon(":/qv-gui/qv-gui.png"));

    qv::HostFileSystem fs;
    qv::QtUi ui(fs);
    auto reference = qv::make_reference_engine();
    qv::Session session(ui, fs, *reference);
    session.settings.app_dir =
        fs.program_path(QCoreApplication::applicationDirPath().toStdString());

    qv::PosixProcesses processes;
    qv::QVGui gui(session, {qv::default_lock_path()});
    ui.set_parent(&gui);
    // qv-gui FILE (as a file manager starts it): that options file instead of the default one.
    if (const QString file = qv::options_file_argument(QCoreApplication::arguments().mid(1));
        !file.isEmpty())
        gui.set_start_file(fs.program_path(QFile::encodeName(file).toStdString()));

    // Model run and viewers: connected here, once the main window exists.
    qv::connect_run_and_viewers(gui, session, processes);

    try {
        gui.load();
    } catch (const qv::ProgramEnd&) {
        return 0;
    }
    // A box of the start-up sequence may have ended the program from its own event loop.
    if (app.ended())
        return 0;
    return app.exec();
}
