#include "platform/qt/qvopt_program.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcessEnvironment>

#include "scenario/session.h"

namespace qv {

QString qvopt_program() {
    const QString given = QProcessEnvironment::systemEnvironment().value("QV_QVOPT");
    if (!given.isEmpty())
        return given;
    const QString beside = QCoreApplication::applicationDirPath() + "/qvopt";
    if (QFileInfo(beside).isExecutable())
        return beside;
    return "qvopt";
}

QStringList qvopt_common_args(const Session& s) {
    QStringList args;
    const auto add = [&](const char* option, const std::string& value) {
        if (!value.empty())
            args << option << QString::fromStdString(s.fs.host_path(value));
    };
    // qvopt refuses a --config that does not exist; qv-gui before its first setup has none.
    if (!s.settings.config_path.empty() &&
        QFileInfo::exists(QString::fromStdString(s.fs.host_path(s.settings.config_path))))
        add("--config", s.settings.config_path);
    add("--model-dir", s.settings.model_dir);
    if (!s.settings.model_exe.empty())
        args << "--model-exe" << QString::fromStdString(s.settings.model_exe);
    add("--data-dir", s.settings.data_dir);
    return args;
}

}  // namespace qv
