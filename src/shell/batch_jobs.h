#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "scenario/session.h"

class QWidget;

namespace qv {

// Where one scenario of the Batch window stands.
enum class RowState {
    checking,  // its record is being read
    never_run,
    up_to_date,
    out_of_date,
    queued,  // waiting for a worker, or for Slurm
    running,
    done,
    failed,
    stopped,
};

// One scenario of the campaign.
struct BatchRow {
    QString path;     // host path of the options file
    QString written;  // the name as the list holds it
    QString title;
    QString region;        // level and number of regions, such as "STATE, 3"
    QString message_file;  // the message file as the scenario names it (program form), once known
    QString output_data;   // host path of the output data file, once known
    RowState state = RowState::checking;
    QString detail;       // why out of date, how it failed
    QString slurm_task;   // "<job>_<task>" while Slurm holds one for it
    QString slurm_state;  // as squeue reports it
    std::optional<qint64> duration_ms;
    QDateTime last_run;
    qint64 output_size = -1;

    // Local run state.
    QPointer<QProcess> process;
    QElapsedTimer clock;
    QDateTime started;
    RowState before_queued = RowState::never_run;
    bool stop_requested = false;
    bool ran_here = false;  // run by this window since the campaign was loaded
    bool skipped = false;   // passed over by the latest Run as up to date
    bool facts_asked = false;
};

// The campaign of the Batch window and its runs. It belongs to the main window, not to the
// Batch window, so that closing that window never stops a run and reopening it shows the rows
// as they stand. Local runs are qvopt processes ("qvopt run FILE"), at most `workers()` at a
// time, started and followed on the event loop; the rows' facts and states come from qvopt too
// ("qvopt show", "qvopt batch status --json"), so the window's thread never reads a scenario,
// a reference database or a record check.
class BatchJobs : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        file_col,
        title_col,
        region_col,
        status_col,
        duration_col,
        size_col,
        date_col,
        column_count
    };

    BatchJobs(Session& s, QObject* parent = nullptr);
    ~BatchJobs() override;

    // The campaign of a main window, made on first use.
    static BatchJobs* of(Session& s, QWidget* main);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const BatchRow& row(int i) const { return *rows_[static_cast<std::size_t>(i)]; }
    int size() const { return static_cast<int>(rows_.size()); }

    // Building the campaign. Every change is checked by qvopt first (each file must be
    // readable and no two may write the same message or output data file); a refused change
    // shows qvopt's reason and leaves the campaign as it was.
    void add_files(const QStringList& host_paths);
    void remove_rows(QList<int> rows);
    void open_list(const QString& host_path);
    // Writes the list (one options file per line); false after a message when it cannot.
    bool save_list(const QString& host_path);
    // The campaign's list file; empty while it has none.
    QString list_path() const { return list_path_; }
    // The list has changes that are not in its file.
    bool modified() const { return modified_; }
    // A check or query of the campaign is under way: its rows may change when it ends.
    bool checking() const { return pending_check_ != nullptr; }

    // Where the last campaign is remembered (qv-gui's own settings; tests give their own).
    void use_settings_file(const QString& path) { settings_file_ = path; }
    // Opens the list the window showed last, when there is one.
    void restore_last_campaign();

    // Local runs.
    int workers() const { return workers_; }
    void set_workers(int n);
    // Runs the scenarios that are not up to date (all of them with FORCE), once qvopt has
    // checked their records again; nothing when runs are going on.
    void run(bool force);
    void rerun_failed();
    // Ends every running model (through its qvopt) and marks the row stopped; queued rows go
    // back to what they were.
    void stop();
    // The same, then waits (bounded) until every qvopt has ended.
    void stop_and_wait();
    int running_count() const;
    int queued_count() const;
    bool local_active() const { return running_count() + queued_count() > 0; }
    // A Slurm task of the campaign is still queued or running.
    bool slurm_active() const;

    // Slurm: follows the tasks of a job just submitted (and those found by any later check).
    void follow_slurm();

    // Progress of the latest Run: done + failed + skipped, of all rows.
    int finished_count() const;
    // Estimated time left, from the mean duration of this run's scenarios so far and the
    // worker count; nothing before the first has ended.
    std::optional<qint64> eta_ms() const;

    // The status column's text.
    static QString state_text(const BatchRow& r);

  signals:
    // Counts, the list path or the checking state changed.
    void progressChanged();

  private:
    using Rows = std::vector<std::shared_ptr<BatchRow>>;
    struct Check;

    void check(Rows candidate, QString list_for_query, std::function<void(Rows)> apply);
    void check_finished(int code, QProcess::ExitStatus status);
    void apply_status(const QJsonObject& doc);
    void set_rows(Rows rows);
    void changed(const std::shared_ptr<BatchRow>& r);
    void remember_list();
    void poll_slurm();

    void query_facts();
    void facts_finished(const std::shared_ptr<BatchRow>& r, QProcess* p);

    void start_runs(bool force, bool failed_only);
    void start_next();
    void run_finished(const std::shared_ptr<BatchRow>& r, QProcess* p);
    void read_record(BatchRow& r);
    void tick();

    QProcess* start_qvopt(const QStringList& args);

    Session& s_;
    Rows rows_;
    QString list_path_;
    bool modified_ = false;
    QString settings_file_;
    QTemporaryDir temp_;
    int workers_;

    std::unique_ptr<Check> pending_check_;
    std::deque<std::weak_ptr<BatchRow>> facts_queue_;
    int facts_running_ = 0;

    std::vector<qint64> run_durations_;  // of this Run's scenarios that ended
    QTimer ticker_;
    QTimer slurm_poll_;
};

// Asks before qv-gui ends while local batch runs go on; Yes stops them. False keeps qv-gui open.
bool confirm_end_with_batch_runs(Session& s, QWidget* main);

// The question that asks it.
QString end_with_runs_question(int running, int queued, bool slurm);

}  // namespace qv
