#pragma once

#include <QDialog>
#include <QStringList>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProcess;
class QPushButton;
class QSpinBox;
class QTimer;

namespace qv {

class Session;

// A job array submitted for a campaign.
struct SlurmSubmission {
    std::string job_id;
    std::string script_path;  // host path of LIST.sbatch
};

// The qvopt the dialog starts: its program, and the options before its command that give it
// qv-gui's configuration, model and data directories.
struct QvoptCall {
    QString program;
    QStringList common_args;
};

// Whether sbatch is on PATH, so that a campaign can go to Slurm.
bool slurm_available();

// "Submit to Slurm": asks for the partition, time limit, CPUs per task and tasks at once
// (remembered in qv-gui's own settings), shows the job script for the campaign LIST_PATH (a
// host path) and submits it. FORCE includes the scenarios that are up to date. Nothing when
// the user cancelled or the submission failed (a message said why).
std::optional<SlurmSubmission> submit_to_slurm(const Session& s, const QvoptCall& qvopt,
                                               const std::string& list_path, bool force,
                                               QWidget* parent);

// The job's resources as the dialog holds them; empty or 0 leaves Slurm's default.
struct SlurmFields {
    QString partition;
    QString time;
    int cpus_per_task = 0;
    int max_parallel = 0;
    bool operator==(const SlurmFields&) const = default;
};

// The fields of the last submission, from qv-gui's own settings (not qv-gui.ini).
SlurmFields remembered_slurm_fields();
void remember_slurm_fields(const SlurmFields& fields);

// The arguments of the qvopt that writes LIST.sbatch for the campaign LIST_PATH with these
// fields (and submits it when SUBMIT), after COMMON_ARGS (QvoptCall::common_args).
QStringList slurm_arguments(const QStringList& common_args, const std::string& list_path,
                            const SlurmFields& fields, bool force, bool submit);

// The dialog behind submit_to_slurm. Every qvopt it starts runs asynchronously and ends with
// qv-gui: the window never waits for one.
class SlurmSubmitDialog : public QDialog {
    Q_OBJECT
  public:
    SlurmSubmitDialog(const Session& s, QvoptCall qvopt, const std::string& list_path, bool force,
                      QWidget* parent = nullptr);
    ~SlurmSubmitDialog() override;

    SlurmFields fields() const;
    // Writes the script with the fields as they are and shows it.
    void show_script();
    // Submits the script with the fields as they are (after the script shown, if one is being
    // written); the dialog closes when Slurm took it.
    void submit();
    const std::optional<SlurmSubmission>& submission() const { return submission_; }
    // Whether a qvopt started by the dialog still runs.
    bool working() const { return process_ != nullptr; }

  signals:
    // A qvopt started by the dialog has ended and what it said is shown.
    void qvoptEnded();

  protected:
    void reject() override;

  private:
    enum class Step { script, submit };
    void start(Step step);
    void ended(Step step, int exit_code, bool crashed);
    void set_working(bool on);
    void stop_process();

    const Session& s_;
    QvoptCall qvopt_;
    std::string list_path_;
    bool force_;
    QProcess* process_ = nullptr;
    Step step_ = Step::script;   // what process_ does
    bool script_again_ = false;  // the fields changed while a script was being written
    bool submit_after_ = false;  // Submit was pressed while a script was being written
    std::optional<SlurmSubmission> submission_;

    QLineEdit* partition_ = nullptr;
    QLineEdit* time_ = nullptr;
    QSpinBox* cpus_ = nullptr;
    QSpinBox* parallel_ = nullptr;
    QLabel* summary_ = nullptr;
    QPlainTextEdit* script_ = nullptr;
    QPushButton* show_ = nullptr;
    QPushButton* submit_ = nullptr;
    QTimer* debounce_ = nullptr;
};

}  // namespace qv
