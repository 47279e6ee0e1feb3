#include "shell/batch_jobs.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSettings>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <set>

#include "platform/fs/path_form.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/qvopt_program.h"
#include "runs/campaign.h"
#include "runs/run_facts.h"
#include "runs/run_record.h"
#include "scenario/scenario.h"
#include "shell/last_run.h"

namespace qv {

namespace {

constexpr int facts_at_once = 2;
constexpr int slurm_poll_ms = 4000;
constexpr const char* last_list_key = "batch/last_list";

QString clock_text(qint64 ms) {
    const qint64 total = ms / 1000;
    return QString("%1:%2:%3")
        .arg(total / 3600)
        .arg(total / 60 % 60, 2, 10, QChar('0'))
        .arg(total % 60, 2, 10, QChar('0'));
}

// The state qvopt batch status reports, as the window shows it before any run of its own: a
// record that holds is "up to date".
RowState recorded_state(const QString& name) {
    if (name == "done")
        return RowState::up_to_date;
    if (name == "out of date")
        return RowState::out_of_date;
    if (name == "failed")
        return RowState::failed;
    if (name == "running")
        return RowState::running;
    return RowState::never_run;
}

QString last_line(const QByteArray& text) {
    const QStringList lines = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

}  // namespace

// A check of a campaign by "qvopt batch status": the rows it would have, and what to do with
// them once qvopt has accepted the list.
struct BatchJobs::Check {
    Rows candidate;
    QString list;       // the list qvopt reads
    QString temp_list;  // the same, when it is a temporary copy of the window's rows
    std::function<void(Rows)> apply;
    QPointer<QProcess> process;
};

BatchJobs::BatchJobs(Session& s, QObject* parent)
    : QAbstractTableModel(parent), s_(s), workers_(std::max(1, QThread::idealThreadCount())) {
    setObjectName("BatchJobs");
    ticker_.setInterval(1000);
    connect(&ticker_, &QTimer::timeout, this, &BatchJobs::tick);
    slurm_poll_.setInterval(slurm_poll_ms);
    connect(&slurm_poll_, &QTimer::timeout, this, &BatchJobs::poll_slurm);
}

BatchJobs::~BatchJobs() {
    // No row may be reported on any more; every qvopt still running is ended, with its model.
    for (auto& r : rows_) {
        if (QProcess* p = r->process) {
            p->disconnect(this);
            p->terminate();
        }
    }
    for (auto& r : rows_) {
        if (QProcess* p = r->process) {
            if (!p->waitForFinished(10000)) {
                p->kill();
                p->waitForFinished(2000);
            }
        }
    }
    // Checks and facts are only read: their qvopt may go at once.
    for (QProcess* p : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        if (p->state() != QProcess::NotRunning) {
            p->disconnect(this);
            p->kill();
            p->waitForFinished(2000);
        }
    }
}

BatchJobs* BatchJobs::of(Session& s, QWidget* main) {
    auto* jobs = main->findChild<BatchJobs*>("BatchJobs", Qt::FindDirectChildrenOnly);
    return jobs ? jobs : new BatchJobs(s, main);
}

int BatchJobs::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size();
}

int BatchJobs::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : column_count;
}

QString BatchJobs::state_text(const BatchRow& r) {
    const QString slurm = r.slurm_task.isEmpty() ? QString() : " (Slurm " + r.slurm_task + ")";
    switch (r.state) {
        case RowState::checking:
            return "checking...";
        case RowState::never_run:
            return "never run";
        case RowState::up_to_date:
            return "up to date";
        case RowState::out_of_date:
            return "out of date";
        case RowState::queued:
            return "queued" + slurm;
        case RowState::running:
            if (r.process)
                return "running " + clock_text(r.clock.elapsed());
            return "running" + slurm;
        case RowState::done:
            return "done";
        case RowState::failed:
            return r.detail.isEmpty() ? QString("failed") : "failed: " + r.detail;
        case RowState::stopped:
            return "stopped";
    }
    return {};
}

QVariant BatchJobs::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= size())
        return {};
    const BatchRow& r = row(index.row());
    if (role == Qt::ToolTipRole) {
        if (index.column() == file_col)
            return r.path;
        if (index.column() == status_col && !r.detail.isEmpty())
            return r.detail;
        return {};
    }
    if (role == Qt::TextAlignmentRole &&
        (index.column() == duration_col || index.column() == size_col))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
        case file_col:
            // A file named by its whole path shows its name; the path is in the tooltip.
            return QFileInfo(r.written).isAbsolute() ? QFileInfo(r.written).fileName() : r.written;
        case title_col:
            return r.title;
        case region_col:
            return r.region;
        case status_col:
            return state_text(r);
        case duration_col:
            if (r.process)
                return display_text(duration_text(r.clock.elapsed()));
            return r.duration_ms ? display_text(duration_text(*r.duration_ms)) : QString();
        case size_col:
            return r.output_size < 0 ? QString() : QLocale().toString(r.output_size);
        case date_col:
            return r.last_run.isValid()
                       ? QLocale().toString(r.last_run.toLocalTime(), QLocale::ShortFormat)
                       : QString();
        default:
            return {};
    }
}

QVariant BatchJobs::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const names[column_count] = {
        "Options file", "Title", "Region", "Status", "Duration", "Output size", "Last run"};
    return section >= 0 && section < column_count ? QString(names[section]) : QString();
}

// ---- the campaign ----

void BatchJobs::add_files(const QStringList& host_paths) {
    if (host_paths.isEmpty() || checking())
        return;
    Rows candidate = rows_;
    std::set<QString> known;
    for (const auto& r : rows_)
        known.insert(QFileInfo(r->path).absoluteFilePath());
    for (const QString& p : host_paths) {
        const QString path = QFileInfo(p).absoluteFilePath();
        if (!known.insert(path).second)
            continue;
        auto r = std::make_shared<BatchRow>();
        r->path = path;
        r->written = path;
        candidate.push_back(r);
    }
    check(candidate, QString(), [this](Rows rows) {
        set_rows(std::move(rows));
        modified_ = true;
        emit progressChanged();
    });
}

void BatchJobs::remove_rows(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    bool removed = false;
    for (int i : rows) {
        if (i < 0 || i >= size() || row(i).process)
            continue;
        beginRemoveRows({}, i, i);
        rows_.erase(rows_.begin() + i);
        endRemoveRows();
        removed = true;
    }
    if (removed) {
        modified_ = true;
        emit progressChanged();
    }
}

void BatchJobs::open_list(const QString& host_path) {
    if (checking())
        return;
    runs::Campaign campaign;
    try {
        campaign = runs::read_campaign(QFileInfo(host_path).absoluteFilePath().toStdString());
    } catch (const runs::CampaignError& e) {
        s_.message(e.what(), Icon::Exclamation);
        return;
    }
    Rows candidate;
    for (const auto& e : campaign.entries) {
        auto r = std::make_shared<BatchRow>();
        r->path = QString::fromStdString(e.path);
        r->written = display_text(e.written);
        candidate.push_back(r);
    }
    const QString list = QString::fromStdString(campaign.list_path);
    check(candidate, list, [this, list](Rows rows) {
        set_rows(std::move(rows));
        list_path_ = list;
        modified_ = false;
        remember_list();
        emit progressChanged();
    });
}

bool BatchJobs::save_list(const QString& host_path) {
    const QDir dir = QFileInfo(host_path).absoluteDir();
    // Files in the list's folder or below are named relative to it, so that the list and its
    // scenarios can move together.
    std::vector<QString> names;
    QByteArray text;
    for (const auto& r : rows_) {
        const QString relative = dir.relativeFilePath(r->path);
        names.push_back(relative.startsWith("..") ? r->path : relative);
        text += names.back().toUtf8() + '\n';
    }
    QSaveFile file(host_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        s_.message("The list could not be saved: " + program_text(host_path) + "\n" +
                       program_text(file.errorString()),
                   Icon::Exclamation);
        return false;
    }
    list_path_ = QFileInfo(host_path).absoluteFilePath();
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i]->written = names[i];
    modified_ = false;
    remember_list();
    if (!rows_.empty())
        emit dataChanged(index(0, file_col), index(size() - 1, file_col));
    emit progressChanged();
    return true;
}

void BatchJobs::remember_list() {
    std::unique_ptr<QSettings> settings =
        settings_file_.isEmpty()
            ? std::make_unique<QSettings>("qv-gui", "qv-gui")
            : std::make_unique<QSettings>(settings_file_, QSettings::IniFormat);
    settings->setValue(last_list_key, list_path_);
}

void BatchJobs::restore_last_campaign() {
    std::unique_ptr<QSettings> settings =
        settings_file_.isEmpty()
            ? std::make_unique<QSettings>("qv-gui", "qv-gui")
            : std::make_unique<QSettings>(settings_file_, QSettings::IniFormat);
    const QString list = settings->value(last_list_key).toString();
    if (!list.isEmpty() && QFileInfo::exists(list))
        open_list(list);
}

QProcess* BatchJobs::start_qvopt(const QStringList& args) {
    auto* p = new QProcess(this);
    p->setProgram(qvopt_program());
    p->setArguments(qvopt_common_args(s_) + args);
    return p;
}

void BatchJobs::check(Rows candidate, QString list_for_query, std::function<void(Rows)> apply) {
    auto c = std::make_unique<Check>();
    c->candidate = std::move(candidate);
    c->apply = std::move(apply);
    c->list = list_for_query;
    if (c->list.isEmpty()) {
        c->temp_list = temp_.filePath("campaign.txt");
        QSaveFile f(c->temp_list);
        QByteArray text;
        for (const auto& r : c->candidate)
            text += r->path.toUtf8() + '\n';
        if (!temp_.isValid() || !f.open(QIODevice::WriteOnly) || f.write(text) != text.size() ||
            !f.commit()) {
            s_.message("The list could not be checked: no temporary file could be written.",
                       Icon::Exclamation);
            return;
        }
        c->list = c->temp_list;
    }
    QProcess* p = start_qvopt({"batch", "status", c->list, "--json"});
    c->process = p;
    pending_check_ = std::move(c);
    connect(p, &QProcess::finished, this, &BatchJobs::check_finished);
    connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        p->deleteLater();
        pending_check_.reset();
        s_.message("qvopt could not be started: " + program_text(p->program()) + "\n" +
                       program_text(p->errorString()),
                   Icon::Exclamation);
        emit progressChanged();
    });
    p->start();
    emit progressChanged();
}

void BatchJobs::check_finished(int code, QProcess::ExitStatus status) {
    std::unique_ptr<Check> c = std::move(pending_check_);
    if (!c || !c->process)
        return;
    QProcess* p = c->process;
    p->deleteLater();
    const QByteArray out = p->readAllStandardOutput();
    const QByteArray err = p->readAllStandardError();
    QJsonParseError parsed;
    const QJsonDocument doc = QJsonDocument::fromJson(out, &parsed);
    if (status != QProcess::NormalExit || parsed.error != QJsonParseError::NoError ||
        !doc.isObject()) {
        // qvopt's refusal, word for word; a temporary copy of the rows is named as the list
        // it stands for.
        QString why = QString::fromUtf8(err).trimmed();
        const QString prefix = "qvopt batch status: ";
        if (why.startsWith(prefix))
            why = why.mid(prefix.size());
        if (!c->temp_list.isEmpty()) {
            const QString named = QFileInfo(c->temp_list).absoluteFilePath();
            why.replace(named + ": ", list_path_.isEmpty() ? QString() : list_path_ + ": ");
        }
        if (why.isEmpty())
            why = QString("qvopt ended with exit status %1").arg(code);
        s_.message(program_text(why), Icon::Exclamation);
        emit progressChanged();
        return;
    }
    // The rows take what qvopt found before they are applied, so a row added now shows its
    // state at once.
    const QJsonArray scenarios = doc.object().value("scenarios").toArray();
    const Rows& rows = c->candidate;
    for (qsizetype i = 0; i < scenarios.size() && i < static_cast<qsizetype>(rows.size()); ++i) {
        const QJsonObject o = scenarios[i].toObject();
        BatchRow& r = *rows[static_cast<std::size_t>(i)];
        const bool had_slurm = !r.slurm_task.isEmpty();
        const bool local = r.process || (r.state == RowState::queued && !had_slurm);
        r.output_data = o.value("output_data").toString();
        const QFileInfo output(r.output_data);
        r.output_size = output.exists() ? output.size() : -1;
        const QFileInfo record(r.output_data + ".run.json");
        if (record.exists())
            r.last_run = record.lastModified();
        if (local)
            continue;
        r.slurm_task = o.value("slurm_task").toString();
        r.slurm_state = o.value("slurm_state").toString();
        const RowState recorded = recorded_state(o.value("state").toString());
        if (!r.slurm_task.isEmpty()) {
            r.state = recorded == RowState::running ? RowState::running : RowState::queued;
            continue;
        }
        const bool ended = recorded != RowState::out_of_date && recorded != RowState::running;
        if (r.ran_here && ended)
            continue;
        r.state = recorded == RowState::running ? RowState::never_run : recorded;
        r.detail = o.value("detail").toString();
        // A task that Slurm has let go of ended as a local run does.
        if (had_slurm && ended) {
            r.ran_here = true;
            if (r.state == RowState::up_to_date)
                r.state = RowState::done;
        }
    }
    c->apply(c->candidate);
    if (slurm_active())
        slurm_poll_.start();
    else
        slurm_poll_.stop();
    emit progressChanged();
}

void BatchJobs::set_rows(Rows rows) {
    if (rows == rows_) {
        // The same rows with new states: the view keeps its selection and scroll position.
        if (!rows_.empty())
            emit dataChanged(index(0, 0), index(size() - 1, column_count - 1));
    } else {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    for (const auto& r : rows_) {
        if (!r->facts_asked) {
            r->facts_asked = true;
            facts_queue_.push_back(r);
        }
    }
    query_facts();
}

void BatchJobs::changed(const std::shared_ptr<BatchRow>& r) {
    for (int i = 0; i < size(); ++i) {
        if (rows_[static_cast<std::size_t>(i)] == r) {
            emit dataChanged(index(i, 0), index(i, column_count - 1));
            return;
        }
    }
}

// ---- facts of each row: "qvopt show FILE", a few at a time ----

// Starting a process takes the window's thread a few milliseconds: one start per turn of the
// event loop, so the window never waits for several in a row.
void BatchJobs::query_facts() {
    while (facts_running_ < facts_at_once && !facts_queue_.empty()) {
        std::shared_ptr<BatchRow> r = facts_queue_.front().lock();
        facts_queue_.pop_front();
        if (!r)
            continue;
        if (facts_running_ + 1 < facts_at_once && !facts_queue_.empty())
            QTimer::singleShot(0, this, &BatchJobs::query_facts);
        QProcess* p = start_qvopt({"show", r->path});
        ++facts_running_;
        connect(p, &QProcess::finished, this, [this, r, p] { facts_finished(r, p); });
        connect(p, &QProcess::errorOccurred, this, [this, r, p](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                facts_finished(r, p);
        });
        p->start();
        return;
    }
}

void BatchJobs::facts_finished(const std::shared_ptr<BatchRow>& r, QProcess* p) {
    --facts_running_;
    p->deleteLater();
    const QJsonObject doc = QJsonDocument::fromJson(p->readAllStandardOutput()).object();
    const QJsonObject sc = doc.value("scenario").toObject();
    if (sc.isEmpty()) {
        r->title = "(not readable)";
    } else {
        r->title = sc.value("title1str").toString();
        const int level = sc.value("region_level").toInt();
        const QString word = level >= 0 && level < static_cast<int>(region_level_words.size())
                                 ? QString(region_level_words[static_cast<std::size_t>(level)])
                                 : QString::number(level);
        r->region = QString("%1, %2").arg(word).arg(sc.value("region_list").toArray().size());
        const QString name = sc.value("message_file_name").toString();
        r->message_file =
            name.isEmpty()
                ? QString()
                : display_text(join_path(program_text(sc.value("message_dir").toString()),
                                         program_text(name)));
    }
    changed(r);
    query_facts();
}

// ---- local runs ----

void BatchJobs::set_workers(int n) {
    workers_ = std::clamp(n, 1, std::max(1, QThread::idealThreadCount()));
    start_next();
}

int BatchJobs::running_count() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const auto& r) { return r->process; }));
}

int BatchJobs::queued_count() const {
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const auto& r) {
        return r->state == RowState::queued && r->slurm_task.isEmpty();
    }));
}

bool BatchJobs::slurm_active() const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [](const auto& r) { return !r->slurm_task.isEmpty(); });
}

void BatchJobs::run(bool force) {
    start_runs(force, false);
}

void BatchJobs::rerun_failed() {
    start_runs(true, true);
}

void BatchJobs::start_runs(bool force, bool failed_only) {
    if (local_active() || checking() || rows_.empty())
        return;
    // The records decide again what is up to date: files may have changed since they were read.
    for (auto& r : rows_)
        r->ran_here = false;
    const QString list = modified_ || list_path_.isEmpty() ? QString() : list_path_;
    check(rows_, list, [this, force, failed_only](Rows rows) {
        set_rows(std::move(rows));
        run_durations_.clear();
        for (auto& r : rows_) {
            r->skipped = false;
            r->stop_requested = false;
            if (!r->slurm_task.isEmpty())
                continue;
            const bool eligible =
                failed_only ? r->state == RowState::failed || r->state == RowState::stopped
                            : force || r->state != RowState::up_to_date;
            if (!eligible) {
                r->skipped = !failed_only && r->state == RowState::up_to_date;
                continue;
            }
            r->before_queued = r->state;
            r->state = RowState::queued;
            r->detail.clear();
        }
        if (!rows_.empty())
            emit dataChanged(index(0, 0), index(size() - 1, column_count - 1));
        start_next();
    });
}

// One start per turn of the event loop, as for the facts.
void BatchJobs::start_next() {
    const int running = running_count();
    for (auto& r : rows_) {
        if (running >= workers_)
            break;
        if (r->state != RowState::queued || !r->slurm_task.isEmpty() || r->process)
            continue;
        if (running + 1 < workers_)
            QTimer::singleShot(0, this, &BatchJobs::start_next);
        QProcess* p = start_qvopt({"run", r->path});
        // The model's output goes to its log file beside the output data file.
        p->setStandardOutputFile(QProcess::nullDevice());
        r->process = p;
        r->state = RowState::running;
        r->ran_here = true;
        r->duration_ms.reset();
        r->started = QDateTime::currentDateTimeUtc();
        r->clock.start();
        connect(p, &QProcess::finished, this, [this, r, p] { run_finished(r, p); });
        connect(p, &QProcess::errorOccurred, this, [this, r, p](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                run_finished(r, p);
        });
        p->start();
        changed(r);
        break;
    }
    if (local_active() && !ticker_.isActive())
        ticker_.start();
    emit progressChanged();
}

void BatchJobs::run_finished(const std::shared_ptr<BatchRow>& r, QProcess* p) {
    if (r->process != p)
        return;
    r->process = nullptr;
    p->deleteLater();
    const qint64 elapsed = r->clock.elapsed();
    run_durations_.push_back(elapsed);
    r->duration_ms = elapsed;
    const bool started = p->error() != QProcess::FailedToStart;
    const bool ok = started && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
    if (r->stop_requested) {
        r->state = RowState::stopped;
        r->detail.clear();
    } else if (ok) {
        r->state = RowState::done;
        r->detail.clear();
    } else {
        r->state = RowState::failed;
        if (!started)
            r->detail = "qvopt could not be started: " + p->errorString();
        else if (p->exitStatus() != QProcess::NormalExit)
            r->detail = "qvopt ended abnormally";
        else
            r->detail = QString("qvopt exit status %1").arg(p->exitCode());
        const QString why = last_line(p->readAllStandardError());
        if (!why.isEmpty())
            r->detail += ": " + why;
    }
    read_record(*r);
    changed(r);
    start_next();
    if (!local_active())
        ticker_.stop();
    emit progressChanged();
}

// The run's own record, when qvopt wrote one: how the model ended, in the words of every other
// report of a run, its duration and its end.
void BatchJobs::read_record(BatchRow& r) {
    // The run saved the options file, which may have changed the letter case of the names the
    // scenario gives its results: the files are found as the model finds them.
    if (!r.output_data.isEmpty())
        r.output_data = QString::fromStdString(
            s_.fs.host_path(s_.fs.program_path(r.output_data.toStdString())));
    const QFileInfo output(r.output_data);
    r.output_size = !r.output_data.isEmpty() && output.exists() ? output.size() : -1;
    if (r.output_data.isEmpty())
        return;
    QFile file(r.output_data + ".run.json");
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QDateTime written = QFileInfo(file).lastModified();
    runs::RunRecord record;
    try {
        record = runs::parse_record(file.readAll().toStdString());
    } catch (const runs::RecordError&) {
        return;
    }
    // A record from before this run says nothing about it.
    if (record.ended_ms + 1000 < r.started.toMSecsSinceEpoch())
        return;
    r.last_run = written;
    r.duration_ms = record.ended_ms - record.started_ms;
    if (r.state != RowState::failed)
        return;
    runs::RunFacts facts;
    facts.was_started = record.exit_status || record.signal;
    facts.exit_status = record.exit_status;
    facts.signal = record.signal;
    QString how = display_text(runs::exit_description(facts));
    if (!record.failure.empty())
        how += ", " + display_text(record.failure);
    r.detail = how;
}

void BatchJobs::tick() {
    for (int i = 0; i < size(); ++i)
        if (rows_[static_cast<std::size_t>(i)]->process)
            emit dataChanged(index(i, status_col), index(i, duration_col));
    emit progressChanged();
}

void BatchJobs::stop() {
    for (auto& r : rows_) {
        if (r->process) {
            r->stop_requested = true;
            r->process->terminate();
        } else if (r->state == RowState::queued && r->slurm_task.isEmpty()) {
            r->state = r->before_queued;
        }
    }
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(size() - 1, column_count - 1));
    emit progressChanged();
}

void BatchJobs::stop_and_wait() {
    stop();
    for (auto& r : rows_) {
        QPointer<QProcess> p = r->process;
        if (p && !p->waitForFinished(10000) && p) {
            p->kill();
            p->waitForFinished(2000);
        }
    }
}

void BatchJobs::follow_slurm() {
    slurm_poll_.start();
    poll_slurm();
}

void BatchJobs::poll_slurm() {
    if (!checking() && !list_path_.isEmpty())
        check(rows_, modified_ ? QString() : list_path_, [this](Rows r) { set_rows(r); });
}

int BatchJobs::finished_count() const {
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const auto& r) {
        return r->skipped ||
               (r->ran_here && (r->state == RowState::done || r->state == RowState::failed));
    }));
}

std::optional<qint64> BatchJobs::eta_ms() const {
    const int left = running_count() + queued_count();
    if (run_durations_.empty() || left == 0)
        return std::nullopt;
    qint64 sum = 0;
    for (qint64 d : run_durations_)
        sum += d;
    const qint64 mean = sum / static_cast<qint64>(run_durations_.size());
    const int at_once = std::max(1, std::min(workers_, left));
    return mean * left / at_once;
}

// ---- ending qv-gui ----

QString end_with_runs_question(int running, int queued, bool slurm) {
    QString text = QString(
                       "Batch runs are still going on: %1 running, %2 queued.\n\n"
                       "Stop them and end qv-gui? Their models are ended; their message "
                       "and output files may be incomplete.")
                       .arg(running)
                       .arg(queued);
    if (slurm)
        text += "\n\nThe campaign's tasks submitted to Slurm keep running on the cluster.";
    return text;
}

bool confirm_end_with_batch_runs(Session& s, QWidget* main) {
    auto* jobs = main->findChild<BatchJobs*>("BatchJobs", Qt::FindDirectChildrenOnly);
    if (!jobs || !jobs->local_active())
        return true;
    const QString question =
        end_with_runs_question(jobs->running_count(), jobs->queued_count(), jobs->slurm_active());
    if (s.message(program_text(question), Icon::Question, Buttons::YesNoDefaultNo) != Button::Yes)
        return false;
    jobs->stop_and_wait();
    return true;
}

}  // namespace qv
