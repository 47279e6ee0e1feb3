#include "shell/qvopt_client.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <memory>

#include "platform/qt/tied_process.h"
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

QvoptClient::QvoptClient(const Session& s, QObject* parent) : QObject(parent), s_(s) {}

QvoptClient::~QvoptClient() {
    // Destroying a QProcess that runs kills it (SIGKILL) and waits: a run would leave its record
    // unwritten. Each is asked to end instead and deletes itself when it has; should qv-gui end
    // first, the end of qv-gui ends it.
    for (QProcess* p : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        p->disconnect(this);
        if (p->state() == QProcess::NotRunning) {
            delete p;
            continue;
        }
        p->setParent(nullptr);
        QObject::connect(p, &QProcess::finished, p, &QObject::deleteLater);
        p->terminate();
    }
}

QProcess* QvoptClient::start(const QStringList& args, Done done, Lines lines) {
    auto* p = new QProcess(this);
    p->setProgram(qvopt_program());
    p->setArguments(qvopt_common_args(s_) + args);
    end_with_this_program(*p);
    // What came after the last whole line, when lines are asked for.
    auto pending = std::make_shared<QByteArray>();
    auto pass_lines = [p, lines, pending](bool at_end) {
        pending->append(p->readAllStandardOutput());
        const qsizetype end = at_end ? pending->size() : pending->lastIndexOf('\n') + 1;
        if (end <= 0)
            return;
        QList<QByteArray> whole = pending->left(end).split('\n');
        pending->remove(0, end);
        if (!whole.isEmpty() && whole.back().isEmpty())
            whole.pop_back();
        if (!whole.isEmpty())
            lines(whole);
    };
    auto reported = std::make_shared<bool>(false);
    auto finish = [this, p, done = std::move(done), lines, pass_lines, reported](QvoptReply reply) {
        if (*reported)
            return;
        *reported = true;
        --running_;
        p->disconnect(this);
        p->deleteLater();
        if (lines)
            pass_lines(true);
        else
            reply.out = p->readAllStandardOutput();
        reply.err = p->readAllStandardError();
        done(reply);
    };
    if (lines)
        connect(p, &QProcess::readyReadStandardOutput, this, [pass_lines] { pass_lines(false); });
    connect(p, &QProcess::finished, this, [finish](int code, QProcess::ExitStatus how) {
        QvoptReply reply;
        reply.exit_code = code;
        reply.crashed = how == QProcess::CrashExit;
        finish(reply);
    });
    connect(p, &QProcess::errorOccurred, this, [p, finish](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        QvoptReply reply;
        reply.started = false;
        reply.error = p->program() + " could not be started: " + p->errorString();
        finish(reply);
    });
    ++running_;
    p->start();
    return p;
}

void QvoptClient::terminate(QProcess* process) {
    if (process && process->state() != QProcess::NotRunning)
        process->terminate();
}

}  // namespace qv
