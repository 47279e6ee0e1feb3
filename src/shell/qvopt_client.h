#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace qv {

class Session;

// qv-gui runs campaigns through qvopt, one process per run or query, so a model run or a slow
// reference database never holds up the window and no session of the window changes the
// process's current directory behind its back.

// The qvopt to start: $QV_QVOPT when set, else the qvopt beside qv-gui's executable, else
// "qvopt" from PATH.
QString qvopt_program();

// The options that make qvopt use the configuration, model and data directories the session
// uses, as host paths; they go before qvopt's command.
QStringList qvopt_common_args(const Session& s);

// How a qvopt ended, and what it printed.
struct QvoptReply {
    bool started = true;  // false: it could not be started (error says why)
    bool crashed = false;
    int exit_code = 0;
    QString error;  // why it could not be started
    QByteArray out, err;

    bool ok() const { return started && !crashed && exit_code == 0; }
};

// Starts qvopt processes with the session's configuration, each ending with qv-gui however
// qv-gui ends, and tells on the event loop when each has ended. Nothing here ever waits for a
// process.
class QvoptClient : public QObject {
    Q_OBJECT
  public:
    explicit QvoptClient(const Session& s, QObject* parent = nullptr);
    // Asks every qvopt still running to end (SIGTERM: a run ends its model's whole group) and
    // lets each end by itself; none is reported on any more.
    ~QvoptClient() override;

    using Done = std::function<void(const QvoptReply&)>;
    using Lines = std::function<void(const QList<QByteArray>& lines)>;

    // Starts `qvopt <common options> ARGS`. DONE is called once it has ended or could not be
    // started; LINES, when given, with the whole lines of its output as they arrive (they are
    // then not in the reply). The handle stays valid until DONE has returned.
    QProcess* start(const QStringList& args, Done done, Lines lines = {});
    // Asks a qvopt started here to end; its DONE still comes.
    static void terminate(QProcess* process);
    // qvopts started here that have not ended yet.
    int running() const { return running_; }

  private:
    const Session& s_;
    int running_ = 0;
};

}  // namespace qv
