#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include "scenario/session.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qv {

// "Model run": the command of the run, the model's output as it arrives, the time since it
// started and, at the end, how it ended. Stop ends the model after asking. The window shows one
// run at a time; the next run starts it afresh.
class ModelRunWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ModelRunWindow(Session& s, QWidget* parent = nullptr);

    void begin(const QString& command, const QString& directory);
    void append_output(const QString& line);
    // Brings the elapsed time up to date.
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

    Session& s_;
    QLabel* command_;
    QLabel* directory_;
    QPlainTextEdit* output_;
    QLabel* elapsed_;
    QLabel* status_;
    QPushButton* stop_;
    QElapsedTimer clock_;
    bool running_ = false;
};

// The texts the window shows (also used by the tests).
QString elapsed_text(qint64 milliseconds);
QString exit_status_text(int exit_code, bool stopped);

}  // namespace qv
