#include "shell/model_runner.h"

#include "platform/app_error.h"
#include "platform/process/posix_processes.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "scenario/model_run.h"
#include "shell/application.h"

namespace qv {

const char* const run_in_progress_message =
    "The model is still running.\n\nWait for it to end, or stop it in the Model run window, "
    "before starting another run.";

namespace {

QString command_text(const std::string& program, const std::vector<std::string>& args) {
    QString text = display_text(program);
    for (const std::string& a : args)
        text += ' ' + display_text(a);
    return text;
}

bool program_ending() {
    auto* app = dynamic_cast<Application*>(QCoreApplication::instance());
    return app && app->ended();
}

}  // namespace

// The model's process as run_model waits for it: every poll also moves the elapsed time on, and
// Stop can reach the process.
class ModelRunner::WatchedHandle final : public ProcessHandle {
  public:
    WatchedHandle(ModelRunner& runner, std::unique_ptr<ProcessHandle> inner)
        : runner_(runner), inner_(std::move(inner)) {
        runner_.active_ = inner_.get();
    }
    ~WatchedHandle() override { runner_.active_ = nullptr; }

    bool running() override {
        // A program that is ending leaves no model behind.
        if (program_ending())
            inner_->terminate();
        const bool still = inner_->running();
        if (runner_.window_)
            runner_.window_->tick();
        return still;
    }
    int exit_code() override { return inner_->exit_code(); }
    void terminate() override { inner_->terminate(); }

  private:
    ModelRunner& runner_;
    std::unique_ptr<ProcessHandle> inner_;
};

// The processes run_model starts: the model's own start opens the Model run window and routes
// its output there.
class ModelRunner::Watched final : public Processes {
  public:
    explicit Watched(ModelRunner& runner) : runner_(runner) {}

    std::unique_ptr<ProcessHandle> start(const std::string& program,
                                         const std::vector<std::string>& args,
                                         const std::string& working_dir,
                                         WindowStyle style) override {
        runner_.started(program, args, working_dir);
        auto* posix = dynamic_cast<PosixProcesses*>(&runner_.processes_);
        if (posix)
            posix->on_output = [this](const std::string& line) { runner_.output(line); };
        std::unique_ptr<ProcessHandle> handle;
        try {
            handle = runner_.processes_.start(program, args, working_dir, style);
        } catch (const AppError& e) {
            if (posix)
                posix->on_output = nullptr;
            if (runner_.window_)
                runner_.window_->finish(
                    QString("The model could not be started (error %1)").arg(e.number()));
            throw;
        }
        if (posix)
            posix->on_output = nullptr;
        return std::make_unique<WatchedHandle>(runner_, std::move(handle));
    }

    void start_detached(const std::string& program, const std::vector<std::string>& args,
                        const std::string& working_dir) override {
        runner_.processes_.start_detached(program, args, working_dir);
    }

  private:
    ModelRunner& runner_;
};

ModelRunner::ModelRunner(Session& s, Processes& processes, QWidget* main)
    : QObject(main), s_(s), processes_(processes), main_(main) {}

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
    stopped_ = false;
    Watched watched(*this);
    ModelRunOutcome outcome;
    try {
        outcome = run_model(s_, watched);
    } catch (...) {
        running_ = false;
        throw;
    }
    running_ = false;
    if (window_ && outcome.started)
        window_->finish(exit_status_text(outcome.exit_code, stopped_));
}

void ModelRunner::started(const std::string& program, const std::vector<std::string>& args,
                          const std::string& dir) {
    if (!window_) {
        window_ = new ModelRunWindow(s_, main_);
        connect(window_, &ModelRunWindow::stopConfirmed, this, &ModelRunner::stop);
    }
    window_->begin(command_text(program, args), display_text(dir));
    show_to_front(window_);
}

void ModelRunner::output(const std::string& line) {
    if (window_)
        window_->append_output(display_text(line));
}

void ModelRunner::stop() {
    if (!active_)
        return;
    stopped_ = true;
    active_->terminate();
}

}  // namespace qv
