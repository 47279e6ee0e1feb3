#include "shell/model_runner.h"

#include "platform/app_error.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "runs/run_record.h"
#include "runs/session_run.h"
#include "scenario/model_run.h"
#include "shell/application.h"

namespace qv {

const char* const run_in_progress_message =
    "The model is still running.\n\nWait for it to end, or stop it in the Model run window, "
    "before starting another run.";

namespace {

bool program_ending() {
    auto* app = dynamic_cast<Application*>(QCoreApplication::instance());
    return app && app->ended();
}

}  // namespace

// Opens the Model run window when the model has started, and shows how a start failed.
class ModelRunner::WindowObserver final : public runs::RunObserver {
  public:
    explicit WindowObserver(ModelRunner& runner) : runner_(runner) {}
    void run_started(const runs::RunFacts& facts) override { runner_.started(facts); }
    void run_ended(const runs::RunFacts& facts) override {
        if (!facts.was_started) {
            runner_.started(facts);
            runner_.window_->finish(run_status_text(facts));
        }
    }

  private:
    ModelRunner& runner_;
};

ModelRunner::ModelRunner(Session& s, ModelLauncher& launcher, const Hasher& hasher, QWidget* main)
    : QObject(main), s_(s), launcher_(launcher), hasher_(hasher), main_(main) {}

ModelRunner::~ModelRunner() {
    if (window_)
        window_->disconnect(this);
}

void ModelRunner::run() {
    if (running_) {
        s_.message(run_in_progress_message, Icon::Exclamation);
        if (window_)
            show_to_front(window_);
        return;
    }
    running_ = true;
    runs::RunControl control;
    control_ = &control;
    WindowObserver window_observer(*this);
    // The record is written when the model ends, before run_model refreshes the summary that
    // shows it.
    runs::RunRecorder recorder(s_.fs, hasher_, runs::plan_record(s_, "qv-gui"));
    runs::SessionRunOptions options;
    options.observers = {&window_observer, &recorder};
    options.observers.insert(options.observers.end(), observers_.begin(), observers_.end());
    options.control = &control;
    options.hooks.on_line = [this](std::string_view line) {
        if (window_)
            window_->append_output(display_text(std::string(line)));
    };
    options.hooks.on_poll = [this] { poll(); };
    runs::SessionModelRun model(s_, launcher_, options);
    try {
        run_model(s_, model);
    } catch (...) {
        running_ = false;
        control_ = nullptr;
        throw;
    }
    running_ = false;
    control_ = nullptr;
    if (window_ && model.result() && model.result()->facts.was_started)
        window_->finish(run_status_text(model.result()->facts));
    if (!recorder.write_error().empty())
        s_.message(recorder.write_error(), Icon::Exclamation);
}

void ModelRunner::started(const runs::RunFacts& facts) {
    if (!window_) {
        window_ = new ModelRunWindow(s_, main_);
        connect(window_, &ModelRunWindow::stopConfirmed, this, &ModelRunner::stop);
    }
    const auto log = runs::output_log_path(facts.results);
    window_->begin(display_text(facts.command_line), display_text(facts.working_dir),
                   display_text(log));
    show_to_front(window_);
}

void ModelRunner::poll() {
    // A program that is ending leaves no model behind.
    if (program_ending())
        stop();
    if (window_)
        window_->tick();
}

void ModelRunner::stop() {
    if (control_)
        control_->stop();
}

}  // namespace qv
