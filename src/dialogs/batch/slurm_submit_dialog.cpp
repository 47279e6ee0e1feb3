#include "dialogs/batch/slurm_submit_dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/qt_ui.h"
#include "platform/qt/tied_process.h"
#include "platform/qt/window_util.h"
#include "runs/slurm_job.h"
#include "scenario/session.h"

namespace qv {

namespace {

// qv-gui's own settings, apart from qv-gui.ini (whose lines are fixed).
constexpr const char* settings_owner = "qv-gui";

// What qvopt said on its error output, without the command name it puts before each line and
// without the line of the script written (the dialog shows the script itself).
QString qvopt_said(const QByteArray& err) {
    QStringList lines;
    for (QString line : QString::fromUtf8(err).split('\n')) {
        line = line.trimmed();
        if (line.startsWith("wrote "))
            continue;
        for (const char* prefix : {"qvopt batch slurm: ", "qvopt: "})
            if (line.startsWith(prefix)) {
                line.remove(0, static_cast<int>(qstrlen(prefix)));
                break;
            }
        if (!line.isEmpty())
            lines << line;
    }
    return lines.join('\n');
}

QSpinBox* count_box(const char* name, int maximum) {
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(0, maximum);
    box->setSpecialValueText("Slurm's default");
    return box;
}

}  // namespace

bool slurm_available() {
    return !QStandardPaths::findExecutable("sbatch").isEmpty();
}

SlurmFields remembered_slurm_fields() {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, settings_owner,
                             settings_owner);
    SlurmFields f;
    f.partition = settings.value("slurm/partition").toString();
    f.time = settings.value("slurm/time").toString();
    f.cpus_per_task = std::max(0, settings.value("slurm/cpus_per_task", 0).toInt());
    f.max_parallel = std::max(0, settings.value("slurm/max_parallel", 0).toInt());
    return f;
}

void remember_slurm_fields(const SlurmFields& f) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, settings_owner,
                       settings_owner);
    settings.setValue("slurm/partition", f.partition);
    settings.setValue("slurm/time", f.time);
    settings.setValue("slurm/cpus_per_task", f.cpus_per_task);
    settings.setValue("slurm/max_parallel", f.max_parallel);
}

QStringList slurm_arguments(const QStringList& common_args, const std::string& list_path,
                            const SlurmFields& f, bool force, bool submit) {
    QStringList args = common_args;
    args << "batch"
         << "slurm" << QString::fromStdString(list_path);
    if (!f.partition.isEmpty())
        args << "--partition" << f.partition;
    if (!f.time.isEmpty())
        args << "--time" << f.time;
    if (f.cpus_per_task > 0)
        args << "--cpus-per-task" << QString::number(f.cpus_per_task);
    if (f.max_parallel > 0)
        args << "--max-parallel" << QString::number(f.max_parallel);
    if (force)
        args << "--force";
    if (submit)
        args << "--submit";
    return args;
}

SlurmSubmitDialog::SlurmSubmitDialog(const Session& s, QvoptCall qvopt,
                                     const std::string& list_path, bool force, QWidget* parent)
    : QDialog(parent),
      s_(s),
      qvopt_(std::move(qvopt)),
      // qvopt runs in the list's folder and the script is read beside the list, whatever the
      // current directory is then.
      list_path_(QFileInfo(QString::fromStdString(list_path)).absoluteFilePath().toStdString()),
      force_(force) {
    setObjectName("SlurmSubmit");
    setWindowTitle("Submit to Slurm");

    auto* campaign = new QLabel("Campaign: " + display_text(list_path_));
    campaign->setObjectName("campaign");
    campaign->setTextInteractionFlags(Qt::TextSelectableByMouse);

    partition_ = new QLineEdit;
    partition_->setObjectName("partition");
    partition_->setPlaceholderText("Slurm's default");
    time_ = new QLineEdit;
    time_->setObjectName("time");
    time_->setPlaceholderText("HH:MM:SS or D-HH:MM:SS (Slurm's default when empty)");
    cpus_ = count_box("cpus_per_task", 4096);
    parallel_ = count_box("max_parallel", 100000);
    auto* form = new QFormLayout;
    form->addRow("&Partition:", partition_);
    form->addRow("&Time limit of each task:", time_);
    form->addRow("&CPUs per task:", cpus_);
    form->addRow("&Maximum tasks at once:", parallel_);

    show_ = new QPushButton("S&how script");
    show_->setObjectName("show_script");
    show_->setAutoDefault(false);
    summary_ = new QLabel;
    summary_->setObjectName("summary");
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* summary_row = new QHBoxLayout;
    summary_row->addWidget(summary_, 1);
    summary_row->addWidget(show_, 0, Qt::AlignTop);

    script_ = new QPlainTextEdit;
    script_->setObjectName("script");
    script_->setReadOnly(true);
    script_->setLineWrapMode(QPlainTextEdit::NoWrap);
    script_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* buttons = new QDialogButtonBox;
    submit_ = buttons->addButton("&Submit", QDialogButtonBox::AcceptRole);
    submit_->setObjectName("submit");
    auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("cancel");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(campaign);
    layout->addLayout(form);
    layout->addLayout(summary_row);
    layout->addWidget(script_, 1);
    layout->addWidget(buttons);
    resize(760, 540);
    center_on(this, parent);

    const SlurmFields f = remembered_slurm_fields();
    partition_->setText(f.partition);
    time_->setText(f.time);
    cpus_->setValue(f.cpus_per_task);
    parallel_->setValue(f.max_parallel);

    // The script follows the fields once the typing pauses, so that not every key starts a qvopt.
    debounce_ = new QTimer(this);
    debounce_->setSingleShot(true);
    debounce_->setInterval(400);
    connect(debounce_, &QTimer::timeout, this, &SlurmSubmitDialog::show_script);
    for (QLineEdit* box : {partition_, time_})
        connect(box, &QLineEdit::textChanged, debounce_, qOverload<>(&QTimer::start));
    for (QSpinBox* box : {cpus_, parallel_})
        connect(box, &QSpinBox::valueChanged, debounce_, qOverload<>(&QTimer::start));
    connect(show_, &QPushButton::clicked, this, &SlurmSubmitDialog::show_script);
    connect(submit_, &QPushButton::clicked, this, &SlurmSubmitDialog::submit);
    connect(cancel, &QPushButton::clicked, this, &SlurmSubmitDialog::reject);
    show_script();
}

SlurmSubmitDialog::~SlurmSubmitDialog() {
    stop_process();
}

SlurmFields SlurmSubmitDialog::fields() const {
    SlurmFields f;
    f.partition = partition_->text().trimmed();
    f.time = time_->text().trimmed();
    f.cpus_per_task = cpus_->value();
    f.max_parallel = parallel_->value();
    return f;
}

void SlurmSubmitDialog::show_script() {
    debounce_->stop();
    if (process_) {
        script_again_ = true;
        return;
    }
    start(Step::script);
}

void SlurmSubmitDialog::submit() {
    debounce_->stop();
    if (process_) {
        submit_after_ = true;
        set_working(true);
        return;
    }
    start(Step::submit);
}

void SlurmSubmitDialog::set_working(bool on) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{partition_, time_, cpus_, parallel_, show_, submit_})
        w->setEnabled(!on);
}

void SlurmSubmitDialog::start(Step step) {
    process_ = new QProcess(this);
    step_ = step;
    process_->setProgram(qvopt_.program);
    process_->setArguments(
        slurm_arguments(qvopt_.common_args, list_path_, fields(), force_, step == Step::submit));
    end_with_this_program(*process_);
    process_->setWorkingDirectory(QFileInfo(QString::fromStdString(list_path_)).absolutePath());
    connect(process_, &QProcess::finished, this, [this, step](int code, QProcess::ExitStatus how) {
        ended(step, code, how == QProcess::CrashExit);
    });
    connect(process_, &QProcess::errorOccurred, this, [this, step](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            ended(step, -1, true);
    });
    if (step == Step::submit) {
        set_working(true);
        s_.ui.busy(true);
    }
    process_->start();
}

void SlurmSubmitDialog::stop_process() {
    if (!process_)
        return;
    // Destroying a running QProcess would wait for it: it is ended and deletes itself once gone.
    process_->disconnect(this);
    if (process_->state() == QProcess::NotRunning) {
        delete process_;
    } else {
        process_->setParent(nullptr);
        connect(process_, &QProcess::finished, process_, &QObject::deleteLater);
        process_->kill();
    }
    process_ = nullptr;
    if (step_ == Step::submit)
        s_.ui.busy(false);
}

void SlurmSubmitDialog::ended(Step step, int exit_code, bool crashed) {
    const QByteArray out = process_->readAllStandardOutput();
    const QByteArray err = process_->readAllStandardError();
    const bool not_started = process_->error() == QProcess::FailedToStart;
    const QString program = process_->program();
    process_->disconnect(this);
    process_->deleteLater();
    process_ = nullptr;
    if (step == Step::submit)
        s_.ui.busy(false);

    QString said = qvopt_said(err);
    if (not_started)
        said = program + " could not be started";
    else if (crashed && said.isEmpty())
        said = program + " ended abnormally";
    const bool ok = !not_started && !crashed && exit_code == 0;

    if (step == Step::script) {
        const QString printed = QString::fromUtf8(out).trimmed();
        QString script;
        if (ok && printed.startsWith("wrote ")) {
            QFile file(QString::fromStdString(list_path_ + ".sbatch"));
            if (file.open(QIODevice::ReadOnly))
                script = QString::fromUtf8(file.readAll());
        }
        script_->setPlainText(script);
        summary_->setText(ok ? printed : said);
        summary_->setStyleSheet(ok ? QString() : QString("color: #b00000"));
        set_working(submit_after_);
        submit_->setEnabled(!submit_after_ && !script.isEmpty());
        emit qvoptEnded();
        if (script_again_ || submit_after_) {
            const Step next = script_again_ ? Step::script : Step::submit;
            script_again_ = false;
            if (next == Step::submit)
                submit_after_ = false;
            start(next);
        }
        return;
    }

    set_working(false);
    const auto id =
        ok ? runs::parsable_job_id(QString::fromUtf8(out).trimmed().toStdString()) : std::nullopt;
    if (id) {
        submission_ = SlurmSubmission{*id, list_path_ + ".sbatch"};
        remember_slurm_fields(fields());
        emit qvoptEnded();
        accept();
        return;
    }
    // Without a job id nothing went to Slurm: an up-to-date campaign (exit 0) or a refusal.
    const std::string text = program_text(said.isEmpty() ? QString::fromUtf8(out).trimmed() : said);
    s_.ui.message(text, s_.settings.msgbox_title, ok ? Icon::Information : Icon::Exclamation);
    emit qvoptEnded();
    show_script();
}

void SlurmSubmitDialog::reject() {
    stop_process();
    QDialog::reject();
}

std::optional<SlurmSubmission> submit_to_slurm(const Session& s, const QvoptCall& qvopt,
                                               const std::string& list_path, bool force,
                                               QWidget* parent) {
    SlurmSubmitDialog dialog(s, qvopt, list_path, force, parent);
    dialog.exec();
    return dialog.submission();
}

}  // namespace qv
