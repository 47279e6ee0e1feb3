#include "shell/batch_campaign.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>
#include <QThread>

#include <algorithm>
#include <set>

#include "platform/qt/qt_ui.h"
#include "scenario/session.h"

namespace qv {

namespace {

using Clock = runs::BatchScheduler::Clock;

// The window's thread does at most this much of a reply per turn of the event loop, so that it
// never stalls, however large the campaign.
constexpr int status_lines_per_turn = 200;
// Rows whose facts one qvopt reads, and how many such qvopts run at once.
constexpr int facts_per_page = 100;
constexpr int facts_at_once = 2;
constexpr int poll_ms = 4000;
constexpr const char* last_list_key = "batch/last_list";

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

RowState row_state(runs::JobState s) {
    switch (s) {
        case runs::JobState::succeeded:
            return RowState::done;
        case runs::JobState::failed:
            return RowState::failed;
        case runs::JobState::stopped:
            return RowState::stopped;
        case runs::JobState::queued:
            return RowState::queued;
        case runs::JobState::running:
            return RowState::running;
        case runs::JobState::up_to_date:
            return RowState::up_to_date;
        case runs::JobState::not_run:
            break;
    }
    return RowState::never_run;
}

runs::JobState job_result(const QString& word) {
    for (runs::JobState s : {runs::JobState::succeeded, runs::JobState::stopped})
        if (word == runs::result_text(s))
            return s;
    return runs::JobState::failed;
}

QString last_line(const QByteArray& text) {
    const QStringList lines = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

QDateTime utc_ms(const QJsonValue& v) {
    return v.isDouble() ? QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(v.toDouble()), Qt::UTC)
                        : QDateTime();
}

std::unique_ptr<QSettings> settings_at(const QString& file) {
    return file.isEmpty() ? std::make_unique<QSettings>("qv-gui", "qv-gui")
                          : std::make_unique<QSettings>(file, QSettings::IniFormat);
}

}  // namespace

// A check of a campaign by "qvopt batch status --lines": the rows it would have, and what to
// do with them once qvopt has accepted the list.
struct BatchCampaign::Check {
    Rows candidate;
    QString list;       // the list qvopt reads
    QString temp_list;  // the same, when it is a temporary copy of the window's rows
    std::function<void(Rows)> apply;
    std::deque<QByteArray> lines;  // not taken yet
    std::size_t next_row = 0;      // the candidate row the next line is about
    std::optional<QvoptReply> reply;
    bool rows_from_reply = false;  // the rows are the list file's, made as its lines come
    bool taking = false;           // a turn of the event loop will take more lines
};

// The rows one "qvopt batch facts" reads, in the order it prints them.
struct BatchCampaign::FactsPage {
    std::vector<std::weak_ptr<BatchRow>> rows;
    std::size_t next = 0;
};

BatchCampaign::BatchCampaign(Session& s, QObject* parent)
    : QObject(parent),
      s_(s),
      client_(s),
      scheduler_(static_cast<unsigned>(std::max(1, QThread::idealThreadCount()))) {
    ticker_.setInterval(1000);
    connect(&ticker_, &QTimer::timeout, this, &BatchCampaign::tick);
    poll_.setInterval(poll_ms);
    connect(&poll_, &QTimer::timeout, this, &BatchCampaign::poll);
}

BatchCampaign::~BatchCampaign() = default;

// ---- the campaign ----

void BatchCampaign::add_files(const QStringList& host_paths) {
    if (host_paths.isEmpty() || checking())
        return;
    Rows candidate = table_.rows();
    std::set<QString> known;
    for (const auto& r : candidate)
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

void BatchCampaign::remove_rows(QList<int> rows) {
    if (local_active())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    bool removed = false;
    for (int i : rows) {
        if (i < 0 || i >= size())
            continue;
        table_.remove_row(i);
        removed = true;
    }
    if (removed) {
        set_rows(table_.rows());
        modified_ = true;
        emit progressChanged();
    }
}

void BatchCampaign::open_list(const QString& host_path) {
    if (checking())
        return;
    const QString list = QFileInfo(host_path).absoluteFilePath();
    check({}, list, [this, list](Rows rows) {
        list_path_ = list;
        set_rows(std::move(rows));
        modified_ = false;
        remember_list();
        emit progressChanged();
    });
}

bool BatchCampaign::save_list(const QString& host_path) {
    const QDir dir = QFileInfo(host_path).absoluteDir();
    // Files in the list's folder or below are named relative to it, so that the list and its
    // scenarios can move together.
    std::vector<QString> names;
    QByteArray text;
    for (const auto& r : table_.rows()) {
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
    for (std::size_t i = 0; i < table_.rows().size(); ++i)
        table_.rows()[i]->written = names[i];
    modified_ = false;
    remember_list();
    table_.changed(nullptr, BatchTable::file_col, BatchTable::file_col);
    emit progressChanged();
    return true;
}

void BatchCampaign::remember_list() {
    settings_at(settings_file_)->setValue(last_list_key, list_path_);
}

void BatchCampaign::restore_last_campaign() {
    // Only the name is looked at here: qvopt reads the list, so that a list that cannot be
    // read (a pipe, a device) never holds up the window.
    const QString list = settings_at(settings_file_)->value(last_list_key).toString();
    if (!list.isEmpty() && QFileInfo::exists(list))
        open_list(list);
}

// ---- checks: "qvopt batch status LIST --lines" ----

void BatchCampaign::check(Rows candidate, QString list_for_query, std::function<void(Rows)> apply) {
    auto c = std::make_unique<Check>();
    c->candidate = std::move(candidate);
    c->apply = std::move(apply);
    c->list = list_for_query;
    if (c->list.isEmpty()) {
        if (!temp_)
            temp_.emplace();
        c->temp_list = temp_->filePath("campaign.txt");
        QSaveFile f(c->temp_list);
        QByteArray text;
        for (const auto& r : c->candidate)
            text += r->path.toUtf8() + '\n';
        if (!temp_->isValid() || !f.open(QIODevice::WriteOnly) || f.write(text) != text.size() ||
            !f.commit()) {
            s_.message("The list could not be checked: no temporary file could be written.",
                       Icon::Exclamation);
            return;
        }
        c->list = c->temp_list;
    }
    // A list opened from its file gets its rows from qvopt, in the list's order.
    c->rows_from_reply = c->candidate.empty() && c->temp_list.isEmpty();
    check_ = std::move(c);
    Check* pending = check_.get();
    client_.start(
        {"batch", "status", pending->list, "--lines"},
        [this, pending](const QvoptReply& reply) {
            if (check_.get() != pending)
                return;
            pending->reply = reply;
            take_status_lines();
        },
        [this, pending](const QList<QByteArray>& lines) {
            if (check_.get() != pending)
                return;
            pending->lines.insert(pending->lines.end(), lines.begin(), lines.end());
            take_status_lines();
        });
    emit progressChanged();
}

void BatchCampaign::take_status_lines() {
    Check* c = check_.get();
    if (!c || c->taking)
        return;
    const std::size_t first = c->next_row;
    for (int taken = 0; !c->lines.empty() && taken < status_lines_per_turn; ++taken) {
        const QJsonObject o = QJsonDocument::fromJson(c->lines.front()).object();
        c->lines.pop_front();
        if (c->rows_from_reply && c->next_row == c->candidate.size()) {
            auto r = std::make_shared<BatchRow>();
            r->path = o.value("options_file").toString();
            r->written = o.value("written").toString();
            c->candidate.push_back(r);
        }
        if (c->next_row < c->candidate.size())
            apply_status(*c->candidate[c->next_row++], o);
    }
    // Rows already shown change in place.
    if (c->next_row > first && c->candidate == table_.rows())
        table_.changed(nullptr);
    if (!c->lines.empty()) {
        c->taking = true;
        QTimer::singleShot(0, this, [this, c] {
            if (check_.get() != c)
                return;
            c->taking = false;
            take_status_lines();
        });
        return;
    }
    if (c->reply)
        check_ended();
}

void BatchCampaign::check_ended() {
    std::unique_ptr<Check> c = std::move(check_);
    const QvoptReply& reply = *c->reply;
    // Exit status 1 says that not every scenario is done, or that the list was refused: then
    // there are no rows and qvopt said why.
    const bool answered =
        reply.started && !reply.crashed && (reply.exit_code == 0 || reply.exit_code == 1);
    const bool complete = c->rows_from_reply
                              ? !c->candidate.empty() || reply.err.trimmed().isEmpty()
                              : c->next_row == c->candidate.size();
    if (!answered || !complete) {
        // qvopt's refusal, word for word; a temporary copy of the rows is named as the list
        // it stands for.
        QString why = reply.started ? QString::fromUtf8(reply.err).trimmed() : reply.error;
        const QString prefix = "qvopt batch status: ";
        if (why.startsWith(prefix))
            why = why.mid(prefix.size());
        if (!c->temp_list.isEmpty()) {
            const QString named = QFileInfo(c->temp_list).absoluteFilePath();
            why.replace(named + ": ", list_path_.isEmpty() ? QString() : list_path_ + ": ");
        }
        if (why.isEmpty())
            why = QString("qvopt ended with exit status %1").arg(reply.exit_code);
        s_.message(program_text(why), Icon::Exclamation);
        emit progressChanged();
        return;
    }
    c->apply(std::move(c->candidate));
    follow_others();
    emit progressChanged();
}

// What qvopt found of one row. A row this window runs or has queued keeps its own state.
void BatchCampaign::apply_status(BatchRow& r, const QJsonObject& o) {
    const bool had_slurm = !r.slurm_task.isEmpty();
    const bool local = r.running_since || (r.state == RowState::queued && !had_slurm);
    r.output_data = o.value("output_data").toString();
    r.output_size = static_cast<qint64>(o.value("output_size").toDouble(-1));
    if (const QDateTime ended = utc_ms(o.value("ended_ms")); ended.isValid())
        r.last_run = ended;
    if (local)
        return;
    if (const QJsonValue d = o.value("duration_ms"); d.isDouble())
        r.duration_ms = static_cast<qint64>(d.toDouble());
    r.slurm_task = o.value("slurm_task").toString();
    r.slurm_state = o.value("slurm_state").toString();
    const RowState recorded = recorded_state(o.value("state").toString());
    r.elsewhere = false;
    if (!r.slurm_task.isEmpty()) {
        r.state = recorded == RowState::running ? RowState::running : RowState::queued;
        return;
    }
    if (recorded == RowState::running) {
        // Another program on this machine runs it now.
        r.state = RowState::running;
        r.elsewhere = true;
        return;
    }
    const bool ended = recorded != RowState::out_of_date;
    if (r.ran_here && ended && !had_slurm)
        return;
    r.state = recorded;
    r.detail = o.value("detail").toString();
    // A run that was stopped reads as stopped, as when this window stopped it.
    if (r.state == RowState::failed && o.value("stopped").toBool()) {
        r.state = RowState::stopped;
        r.detail.clear();
    }
    // A task that Slurm has let go of ended as a local run does.
    if (had_slurm && ended) {
        r.ran_here = true;
        if (r.state == RowState::up_to_date)
            r.state = RowState::done;
    }
}

void BatchCampaign::set_rows(Rows rows) {
    table_.set_rows(std::move(rows));
    // Another base: what every row varies is asked again.
    const QString base =
        (table_.rows().empty() ? QString() : table_.rows().front()->path) + '\n' + list_path_;
    if (base != facts_base_) {
        facts_base_ = base;
        facts_queue_.clear();
        for (const auto& r : table_.rows())
            r->facts_asked = false;
    }
    for (const auto& r : table_.rows()) {
        if (!r->facts_asked) {
            r->facts_asked = true;
            facts_queue_.push_back(r);
        }
    }
    ask_facts();
}

// While Slurm or another program runs scenarios of the campaign, their states are asked again
// now and then.
void BatchCampaign::follow_others() {
    const bool others = std::any_of(table_.rows().begin(), table_.rows().end(), [](const auto& r) {
        return !r->slurm_task.isEmpty() || r->elsewhere;
    });
    if (others && !poll_.isActive())
        poll_.start();
    else if (!others)
        poll_.stop();
}

void BatchCampaign::poll() {
    if (!checking() && !table_.rows().empty())
        check(table_.rows(), modified_ || list_path_.isEmpty() ? QString() : list_path_,
              [this](Rows r) { set_rows(std::move(r)); });
}

void BatchCampaign::follow_slurm() {
    poll_.start();
    poll();
}

// ---- facts of the rows: "qvopt batch facts FILE...", a page of rows per qvopt ----

// Starting a process takes the window's thread a few milliseconds: one start per turn of the
// event loop.
void BatchCampaign::ask_facts() {
    if (facts_running_ >= facts_at_once || facts_queue_.empty())
        return;
    auto page = std::make_shared<FactsPage>();
    QStringList args{"batch", "facts"};
    // What each row varies is told from the template a made list names, else the first row.
    if (!table_.rows().empty())
        args << "--base" << table_.rows().front()->path;
    if (!list_path_.isEmpty())
        args << "--base-list" << list_path_;
    while (!facts_queue_.empty() && static_cast<int>(page->rows.size()) < facts_per_page) {
        std::shared_ptr<BatchRow> r = facts_queue_.front().lock();
        facts_queue_.pop_front();
        if (!r)
            continue;
        page->rows.push_back(r);
        args << r->path;
    }
    if (page->rows.empty())
        return;
    ++facts_running_;
    client_.start(
        args,
        [this, page](const QvoptReply&) {
            --facts_running_;
            // Rows that qvopt said nothing of cannot be read.
            for (std::size_t i = page->next; i < page->rows.size(); ++i) {
                if (auto r = page->rows[i].lock()) {
                    r->title = "(not readable)";
                    table_.changed(r.get());
                }
            }
            ask_facts();
        },
        [this, page](const QList<QByteArray>& lines) { take_facts(*page, lines); });
    if (facts_running_ < facts_at_once && !facts_queue_.empty())
        QTimer::singleShot(0, this, &BatchCampaign::ask_facts);
}

void BatchCampaign::take_facts(FactsPage& page, const QList<QByteArray>& lines) {
    for (const QByteArray& line : lines) {
        if (page.next >= page.rows.size())
            return;
        std::shared_ptr<BatchRow> r = page.rows[page.next++].lock();
        if (!r)
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.value("readable").toBool()) {
            r->title = "(not readable)";
        } else {
            r->title = o.value("title").toString();
            r->title2 = o.value("title2").toString();
            r->varies = o.value("varies").toString();
            r->region = QString("%1, %2")
                            .arg(o.value("region_level").toString())
                            .arg(o.value("regions").toInt());
            r->message_file = o.value("message_file").toString();
        }
        table_.changed(r.get(), BatchTable::title_col, BatchTable::varies_col);
    }
}

// ---- local runs ----

void BatchCampaign::set_workers(int n) {
    scheduler_.set_limit(
        static_cast<unsigned>(std::clamp(n, 1, std::max(1, QThread::idealThreadCount()))));
    start_next();
}

int BatchCampaign::running_count() const {
    return static_cast<int>(scheduler_.counts().running);
}

int BatchCampaign::queued_count() const {
    return static_cast<int>(scheduler_.counts().queued);
}

bool BatchCampaign::slurm_active() const {
    return std::any_of(table_.rows().begin(), table_.rows().end(),
                       [](const auto& r) { return !r->slurm_task.isEmpty(); });
}

BatchActivity BatchCampaign::activity() const {
    return {running_count(), queued_count(), slurm_active()};
}

void BatchCampaign::run(bool force) {
    start_runs(force ? runs::Selection::all : runs::Selection::outdated);
}

void BatchCampaign::rerun_failed() {
    start_runs(runs::Selection::failed);
}

void BatchCampaign::start_runs(runs::Selection selection) {
    if (local_active() || checking() || table_.rows().empty())
        return;
    // The records decide again what is up to date: files may have changed since they were read.
    for (const auto& r : table_.rows())
        r->ran_here = false;
    const QString list = modified_ || list_path_.isEmpty() ? QString() : list_path_;
    check(table_.rows(), list, [this, selection](Rows rows) {
        set_rows(std::move(rows));
        batch_ = table_.rows();
        std::vector<runs::JobFacts> facts;
        for (const auto& r : batch_)
            facts.push_back({r->state == RowState::up_to_date,
                             r->state == RowState::failed || r->state == RowState::stopped,
                             !r->slurm_task.isEmpty() || r->elsewhere});
        scheduler_.begin(facts, selection, Clock::now());
        runs_.assign(batch_.size(), nullptr);
        stop_asked_.assign(batch_.size(), false);
        for (std::size_t i = 0; i < batch_.size(); ++i) {
            BatchRow& r = *batch_[i];
            r.skipped = scheduler_.state(i) == runs::JobState::up_to_date;
            if (scheduler_.state(i) != runs::JobState::queued)
                continue;
            r.before_queued = r.state;
            r.state = RowState::queued;
            r.detail.clear();
        }
        table_.changed(nullptr);
        start_next();
    });
}

// One start per turn of the event loop, as for the facts.
void BatchCampaign::start_next() {
    start_pending_ = false;
    const auto job = scheduler_.next(Clock::now());
    if (job) {
        BatchRow& r = *batch_[*job];
        r.state = RowState::running;
        r.ran_here = true;
        r.duration_ms.reset();
        r.end.clear();
        r.running_since = scheduler_.started(*job);
        runs_[*job] =
            client_.start({"batch", "run-one", r.path, "--json"},
                          [this, j = *job](const QvoptReply& reply) { run_ended(j, reply); });
        table_.changed(&r);
        const runs::BatchCounts c = scheduler_.counts();
        if (c.queued > 0 && c.running < scheduler_.limit()) {
            start_pending_ = true;
            QTimer::singleShot(0, this, &BatchCampaign::start_next);
        }
    }
    if (local_active() && !ticker_.isActive())
        ticker_.start();
    emit progressChanged();
}

void BatchCampaign::run_ended(std::size_t job, const QvoptReply& reply) {
    runs_[job] = nullptr;
    BatchRow& r = *batch_[job];
    r.running_since.reset();
    const QJsonObject o = QJsonDocument::fromJson(reply.out).object();
    runs::JobState result = runs::JobState::failed;
    if (o.contains("result")) {
        // How the run ended, in the words of every other report of a run.
        result = job_result(o.value("result").toString());
        r.end = o.value("end").toString();
        r.detail = result == runs::JobState::failed ? r.end : QString();
        r.duration_ms = static_cast<qint64>(o.value("duration_ms").toDouble());
        r.last_run = utc_ms(o.value("ended_ms"));
        if (const QString output = o.value("output_data").toString(); !output.isEmpty())
            r.output_data = output;
        r.output_size = static_cast<qint64>(o.value("output_size").toDouble(-1));
    } else {
        if (!reply.started)
            r.detail = reply.error;
        else if (reply.crashed)
            r.detail = "qvopt ended abnormally";
        else
            r.detail = QString("qvopt exit status %1").arg(reply.exit_code);
        if (const QString why = last_line(reply.err); !why.isEmpty())
            r.detail += ": " + why;
        r.end = r.detail;
    }
    // A qvopt ended before it could say so still ended because it was asked to.
    if (stop_asked_[job] && result == runs::JobState::failed)
        result = runs::JobState::stopped;
    scheduler_.ended(job, result, Clock::now());
    r.state = row_state(scheduler_.state(job));
    if (r.state != RowState::failed)
        r.detail.clear();
    if (!r.duration_ms)
        if (const auto d = scheduler_.duration(job))
            r.duration_ms = std::chrono::duration_cast<std::chrono::milliseconds>(*d).count();
    table_.changed(&r);
    if (!start_pending_)
        start_next();
    if (!local_active())
        ticker_.stop();
    emit progressChanged();
}

void BatchCampaign::tick() {
    table_.tick();
    emit progressChanged();
}

void BatchCampaign::stop() {
    if (!local_active())
        return;
    for (std::size_t job : scheduler_.stop(Clock::now()))
        QvoptClient::terminate(runs_[job]);
    for (const auto& r : batch_)
        if (r->state == RowState::queued && r->slurm_task.isEmpty())
            r->state = r->before_queued;
    table_.changed(nullptr);
    emit progressChanged();
}

void BatchCampaign::stop_row(int row) {
    if (row < 0 || row >= size())
        return;
    // The qvopt of that run records it as stopped and says so as it ends (run_ended).
    for (std::size_t job = 0; job < batch_.size(); ++job)
        if (batch_[job] == table_.rows()[static_cast<std::size_t>(row)] && runs_[job]) {
            stop_asked_[job] = true;
            QvoptClient::terminate(runs_[job]);
        }
}

void BatchCampaign::cancel_slurm_task(int row) {
    if (row < 0 || row >= size() || this->row(row).slurm_task.isEmpty())
        return;
    auto* p = new QProcess(this);
    connect(p, &QProcess::finished, this, [this, p](int code, QProcess::ExitStatus how) {
        p->deleteLater();
        if (how != QProcess::NormalExit || code != 0) {
            const QString why = QString::fromUtf8(p->readAllStandardError()).trimmed();
            s_.message(
                program_text("The Slurm task could not be cancelled: " +
                             (why.isEmpty() ? QString("scancel exit status %1").arg(code) : why)),
                Icon::Exclamation);
        }
        follow_slurm();
    });
    connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        p->deleteLater();
        s_.message("The Slurm task could not be cancelled: scancel could not be started.",
                   Icon::Exclamation);
    });
    p->start("scancel", {this->row(row).slurm_task});
}

int BatchCampaign::finished_count() const {
    const runs::BatchCounts c = scheduler_.counts();
    return static_cast<int>(c.skipped + c.succeeded + c.failed);
}

std::optional<qint64> BatchCampaign::eta_ms() const {
    const auto left = scheduler_.time_left();
    if (!left)
        return std::nullopt;
    return std::chrono::duration_cast<std::chrono::milliseconds>(*left).count();
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

bool confirm_end_with_batch_runs(Session& s, BatchCampaign& campaign) {
    if (!campaign.local_active())
        return true;
    const BatchActivity a = campaign.activity();
    const QString question = end_with_runs_question(a.running, a.queued, a.slurm);
    if (s.message(program_text(question), Icon::Question, Buttons::YesNoDefaultNo) != Button::Yes)
        return false;
    campaign.stop();
    return true;
}

}  // namespace qv
