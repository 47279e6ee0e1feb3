#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <deque>

#include "runs/run_facts.h"
#include "scenario/session.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qv {

// "Model run": the command of the run, the model's output as it arrives, the time since it
// started and, at the end, how it ended. Stop ends the model after asking. The window shows one
// run at a time; the next run starts it afresh. It keeps the last max_lines lines of the output
// and says so when earlier ones were dropped; the whole output is in the run's log file.
class ModelRunWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ModelRunWindow(Session& s, QWidget* parent = nullptr);

    static constexpr int max_lines = 10000;

    // `log` is where the whole output goes ("" when nowhere).
    void begin(const QString& command, const QString& directory, const QString& log);
    // Takes a line of output; lines are shown at the next tick, so a flood of output costs the
    // window one update per poll.
    void append_output(const QString& line);
    // Shows the output taken since the last tick and brings the elapsed time up to date.
    void tick();
    void finish(const QString& status);
    bool running() const { return running_; }

  signals:
    // The user asked to stop the model and said Yes when asked again.
    void stopConfirmed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    bool confirm_stop();
    void show_pending();

    Session& s_;
    QLabel* command_;
    QLabel* directory_;
    QLabel* dropped_;
    QPlainTextEdit* output_;
    QLabel* elapsed_;
    QLabel* status_;
    QPushButton* stop_;
    QElapsedTimer clock_;
    bool running_ = false;
    std::deque<QString> pending_;
    long long lines_ = 0;  // lines of this run's output so far
    QString log_;
};

// The texts the window shows (also used by the tests).
QString elapsed_text(qint64 milliseconds);
// How a run ended, for the status line.
QString run_status_text(const runs::RunFacts& facts);
// The note above the output once earlier lines were dropped.
QString dropped_lines_text(long long dropped, const QString& log);

}  // namespace qv
