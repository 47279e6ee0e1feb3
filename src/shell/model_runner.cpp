#include "shell/model_runner.h"

#include "platform/app_error.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_processes.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "runs/recorded_run.h"
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
    WatchedHandle(ModelRunner& runner, std::unique_ptr<ProcessHandle> inner,
                  runs::RecordedRun& record, std::string& record_error)
        : runner_(runner), inner_(std::move(inner)), record_(record), record_error_(record_error) {
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
        // The record is written before run_model refreshes the summary, which shows it.
        if (!still && !recorded_) {
            recorded_ = true;
            record_error_ = record_.ended(inner_->exit_code(), runner_.stopped_ ? "user" : "", "");
        }
        return still;
    }
    int exit_code() override { return inner_->exit_code(); }
    void terminate() override { inner_->terminate(); }

  private:
    ModelRunner& runner_;
    std::unique_ptr<ProcessHandle> inner_;
    runs::RecordedRun& record_;
    std::string& record_error_;
    bool recorded_ = false;
};

// The processes run_model starts: the model's own start opens the Model run window and routes
// its output there.
class ModelRunner::Watched final : public Processes {
  public:
    explicit Watched(ModelRunner& runner)
        : runner_(runner), record_(runner.s_, hasher_, "qv-gui") {}

    // Why the run record was not written, or "".
    std::string record_error;

    std::unique_ptr<ProcessHandle> start(const std::string& program,
                                         const std::vector<std::string>& args,
                                         const std::string& working_dir,
                                         WindowStyle style) override {
        runner_.started(program, args, working_dir);
        auto* posix = dynamic_cast<PosixProcesses*>(&runner_.processes_);
        if (posix)
            posix->on_output = [this](const std::string& line) {
                record_.output(line);
                runner_.output(line);
            };
        std::unique_ptr<ProcessHandle> handle;
        try {
            handle = runner_.processes_.start(program, args, working_dir, style);
        } catch (const AppError& e) {
            if (posix)
                posix->on_output = nullptr;
            if (runner_.window_)
                runner_.window_->finish(
                    QString("The model could not be started (error %1)").arg(e.number()));
            record_error = record_.ended(
                std::nullopt, "",
                "the model could not be started (error " + std::to_string(e.number()) + ")");
            throw;
        }
        if (posix)
            posix->on_output = nullptr;
        std::string command = program;
        for (const auto& a : args)
            command += ' ' + a;
        record_.started(command, working_dir);
        return std::make_unique<WatchedHandle>(runner_, std::move(handle), record_, record_error);
    }

    void start_detached(const std::string& program, const std::vector<std::string>& args,
                        const std::string& working_dir) override {
        runner_.processes_.start_detached(program, args, working_dir);
    }

  private:
    ModelRunner& runner_;
    OpensslHasher hasher_;
    runs::RecordedRun record_;
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
    if (!watched.record_error.empty())
        s_.message(watched.record_error, Icon::Exclamation);
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
