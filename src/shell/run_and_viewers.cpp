#include "shell/run_and_viewers.h"

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
    QObject::connect(&main, &QVGui::viewMessageRequested, runner,
                     [&s, &processes] { view_message_file(s, processes); });
    QObject::connect(&main, &QVGui::viewOptionsRequested, runner,
                     [&s, &processes] { view_options_file(s, processes); });
}

}  // namespace qv
