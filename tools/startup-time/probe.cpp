// qv-gui's start-up up to the first shown summary, then an immediate exit: the same steps as
// qv-gui's main, with the event loop left at once.
#include <QCoreApplication>
#include <QTimer>

#include "platform/fs/host_file_system.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"
#include "platform/process/posix_processes.h"
#include "platform/program_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "shell/application.h"
#include "shell/qv_gui.h"

int main(int argc, char** argv) {
    qv::Application app(argc, argv);
    qv::HostFileSystem fs;
    qv::QtUi ui(fs);
    auto reference = qv::make_reference_engine();
    qv::Session session(ui, fs, *reference);
    session.settings.app_dir =
        fs.program_path(QCoreApplication::applicationDirPath().toStdString());
    const qv::OpensslHasher hasher;
    qv::PosixModelLauncher launcher;
    qv::PosixProcesses processes;
    qv::QVGui gui(session, {hasher, launcher, processes}, {});
    ui.set_parent(&gui);
    try {
        gui.load();
    } catch (const qv::ProgramEnd&) {
        return 1;
    }
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
