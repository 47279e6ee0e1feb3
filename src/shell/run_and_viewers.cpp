#include "shell/run_and_viewers.h"

#include <QFile>

#include "platform/qt/qt_ui.h"
#include "shell/model_runner.h"
#include "shell/qv_gui.h"
#include "shell/viewers.h"

namespace qv {

void connect_run_and_viewers(QVGui& main, Session& s, const ShellServices& services) {
    Processes& processes = services.processes;
    auto* runner = new ModelRunner(s, services.launcher, services.hasher, &main);
    QObject::connect(&main, &QVGui::runRequested, runner, &ModelRunner::run);
    QObject::connect(&main, &QVGui::reportsRequested, runner,
                     [&s, &processes] { start_reporting_utility(s, processes); });
    // The message and options files open in qv-gui's own viewer; its "Open with system viewer"
    // hands them to the desktop.
    auto host = [&s](const std::string& path) {
        return QFile::decodeName(QByteArray::fromStdString(s.fs.host_path(path)));
    };
    QObject::connect(&main, &QVGui::viewMessageRequested, runner,
                     [&main, &s, host] { main.open_viewer(host(message_file_path(s.sc))); });
    QObject::connect(&main, &QVGui::viewOptionsRequested, runner,
                     [&main, &s, host] { main.open_viewer(host(s.option_file_path())); });
    QObject::connect(&main, &QVGui::systemViewerRequested, runner,
                     [&s, &processes](const QString& path) {
                         start_text_viewer(s, processes, program_text(path));
                     });
}

}  // namespace qv
