#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/process.h"
#include "scenario/session.h"
#include "shell/model_run_window.h"

namespace qv {

// The Model menu's Run with the "Model run" window: the run itself (save, batch file, start,
// the polled wait, summary) is run_model's; this adds the window that shows the model's command,
// output and end, the Stop button, and the refusal of a second run while one is going on.
class ModelRunner : public QObject {
    Q_OBJECT
  public:
    // `main` is the window the Model run window belongs to.
    ModelRunner(Session& s, Processes& processes, QWidget* main);
    ~ModelRunner() override;

    void run();
    bool running() const { return running_; }
    // The Model run window of the latest run, while it is open.
    ModelRunWindow* window() const { return window_; }

  private:
    class Watched;
    class WatchedHandle;

    void started(const std::string& program, const std::vector<std::string>& args,
                 const std::string& dir);
    void output(const std::string& line);
    void stop();

    Session& s_;
    Processes& processes_;
    QPointer<QWidget> main_;
    QPointer<ModelRunWindow> window_;
    ProcessHandle* active_ = nullptr;
    bool running_ = false;
    bool stopped_ = false;
};

// Shown when Run is chosen while the model still runs.
extern const char* const run_in_progress_message;

}  // namespace qv
