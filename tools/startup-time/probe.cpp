// qv-gui's start-up up to the first shown summary, then an immediate exit: the same steps as
// qv-gui's main, with the event loop left at once (or, with --at-rest, once it is idle).
#include <QCoreApplication>
#include <QIcon>

#include "at_rest.h"
#include "platform/fs/host_file_system.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"
#include "platform/process/posix_processes.h"
#include "platform/program_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "shell/application.h"
#include "shell/qv_gui.h"
#include "shell/run_and_viewers.h"

int main(int argc, char** argv) {
    const bool at_rest = startup_time::at_rest_asked(argc, argv);
    qv::Application app(argc, argv);
    app.setWindowIcon(qv::program_icon());
    qv::HostFileSystem fs;
    qv::QtUi ui(fs);
    auto reference = qv::make_reference_engine();
    qv::Session session(ui, fs, *reference);
    session.settings.app_dir =
        fs.program_path(QCoreApplication::applicationDirPath().toStdString());
    const qv::OpensslHasher hasher;
    qv::PosixModelLauncher launcher;
    qv::PosixProcesses processes;
    const qv::ShellServices services{hasher, launcher, processes};
    qv::QVGui gui(session, services, {});
    ui.set_parent(&gui);
    qv::connect_run_and_viewers(gui, session, services);
    try {
        gui.load();
    } catch (const qv::ProgramEnd&) {
        return 1;
    }
    startup_time::quit_when_shown(app, at_rest, &gui, startup_time::grab_file(argc, argv));
    return app.exec();
}
