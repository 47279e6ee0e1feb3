#pragma once

#include <QString>
#include <QStringList>

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

}  // namespace qv
