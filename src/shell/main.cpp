// qv-gui: the desktop front end. Builds the platform services and the session, then hands over
// to the main window's start-up sequence and the event loop.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <iostream>

#include "platform/fs/host_file_system.h"
#include "platform/fs/path_form.h"
#include "platform/fs/user_config.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"
#include "platform/process/posix_processes.h"
#include "platform/program_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "shell/application.h"
#include "shell/command_line.h"
#include "shell/qv_gui.h"
#include "shell/run_and_viewers.h"

int main(int argc, char** argv) {
    // Answered before any window or display is needed.
    switch (qv::parse_command_line({argv + (argc > 0 ? 1 : 0), argv + argc}).action) {
        case qv::CommandLine::Action::PrintVersion:
            std::cout << qv::version_line();
            return 0;
        case qv::CommandLine::Action::PrintHelp:
            std::cout << qv::help_text();
            return 0;
        case qv::CommandLine::Action::OpenWindow:
            break;
    }

    qv::Application app(argc, argv);
    app.setWindowIcon(qv::program_icon());

    qv::HostFileSystem fs;
    qv::QtUi ui(fs);
    auto reference = qv::make_reference_engine();
    qv::Session session(ui, fs, *reference);
    const std::string app_dir = QCoreApplication::applicationDirPath().toStdString();
    session.settings.app_dir = fs.program_path(app_dir);

    qv::QVGuiOptions options{qv::default_lock_path(), std::nullopt};
    // An installed copy, or one that may not write beside itself, keeps qv-gui.ini and the run
    // log in the per-user folder; an installed one offers its demo on the first start.
    if (qv::keeps_settings_per_user(app_dir)) {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(dir);
        session.settings.settings_dir = fs.program_path(dir.toStdString());
        if (std::string demo = qv::bundled_demo_dir(app_dir); !demo.empty())
            options.demo = qv::DemoOffer{demo, qv::join_path(app_dir, "qv-demo-model"),
                                         qv::user_demo_workspace_dir()};
    }

    const qv::OpensslHasher hasher;
    qv::PosixModelLauncher launcher;
    qv::PosixProcesses processes;
    const qv::ShellServices services{hasher, launcher, processes};
    qv::QVGui gui(session, services, options);
    ui.set_parent(&gui);
    // qv-gui FILE (as a file manager starts it): that options file instead of the default one.
    if (const QString file = qv::options_file_argument(QCoreApplication::arguments().mid(1));
        !file.isEmpty())
        gui.set_start_file(fs.program_path(QFile::encodeName(file).toStdString()));

    // Model run and viewers: connected here, once the main window exists.
    qv::connect_run_and_viewers(gui, session, services);

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
