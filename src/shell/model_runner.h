#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

#include "platform/hash.h"
#include "platform/model_launcher.h"
#include "runs/model_process.h"
#include "scenario/session.h"
#include "shell/model_run_window.h"

namespace qv {

// The Model menu's Run with the "Model run" window: the run itself (save, batch file, start,
// the polled wait, summary) is run_model's, carried out by the one run function; this adds the
// window that shows the model's command, output and end, the Stop button, and the refusal of a
// second run while one is going on.
class ModelRunner : public QObject {
    Q_OBJECT
  public:
    // `main` is the window the Model run window belongs to.
    ModelRunner(Session& s, ModelLauncher& launcher, const Hasher& hasher, QWidget* main);
    ~ModelRunner() override;

    void run();
    bool running() const { return running_; }
    // The Model run window of the latest run, while it is open.
    ModelRunWindow* window() const { return window_; }
    // Follows every run from now on (such as the run record); must outlive the runner.
    void add_observer(runs::RunObserver* observer) { observers_.push_back(observer); }

  private:
    class WindowObserver;

    void started(const runs::RunFacts& facts);
    void poll();
    void stop();

    Session& s_;
    ModelLauncher& launcher_;
    const Hasher& hasher_;
    QPointer<QWidget> main_;
    QPointer<ModelRunWindow> window_;
    std::vector<runs::RunObserver*> observers_;
    runs::RunControl* control_ = nullptr;
    bool running_ = false;
};

// Shown when Run is chosen while the model still runs.
extern const char* const run_in_progress_message;

}  // namespace qv
