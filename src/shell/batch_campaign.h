#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "runs/batch_scheduler.h"
#include "shell/batch_table.h"
#include "shell/qvopt_client.h"

namespace qv {

class Session;

// What goes on in a campaign, for the question before qv-gui ends.
struct BatchActivity {
    int running = 0;     // local runs
    int queued = 0;      // local runs not started yet
    bool slurm = false;  // a Slurm task of the campaign is still queued or running
};

// The campaign of the Batch window and its runs. It belongs to the main window, not to the
// Batch window, so that closing that window never stops a run and reopening it shows the rows
// as they stand. Everything it learns and does goes through qvopt processes, started and
// followed on the event loop: the rows' states from "qvopt batch status --lines", their titles
// and regions from "qvopt batch facts" (a page of rows per process), and each run is a
// "qvopt batch run-one FILE --json", started as the batch scheduler says. So the window's thread
// never reads a scenario, a record or a reference database, nor waits for a process.
class BatchCampaign : public QObject {
    Q_OBJECT
  public:
    explicit BatchCampaign(Session& s, QObject* parent = nullptr);
    ~BatchCampaign() override;

    // The rows, for the view.
    BatchTable* table() { return &table_; }
    const BatchRow& row(int i) const { return *table_.rows()[static_cast<std::size_t>(i)]; }
    int size() const { return static_cast<int>(table_.rows().size()); }

    // Building the campaign. Every change is checked by qvopt first (each file must be
    // readable and no two may write the same message or output data file); a refused change
    // shows qvopt's reason and leaves the campaign as it was.
    void add_files(const QStringList& host_paths);
    // Rows of a batch that is going on stay.
    void remove_rows(QList<int> rows);
    void open_list(const QString& host_path);
    // Writes the list (one options file per line); false after a message when it cannot.
    bool save_list(const QString& host_path);
    // The campaign's list file; empty while it has none.
    QString list_path() const { return list_path_; }
    // The list has changes that are not in its file.
    bool modified() const { return modified_; }
    // A check of the campaign is under way: its rows may change when it ends.
    bool checking() const { return check_ != nullptr; }

    // Where the last campaign is remembered (qv-gui's own settings; tests give their own).
    void use_settings_file(const QString& path) { settings_file_ = path; }
    // Opens the list the window showed last, when there is one.
    void restore_last_campaign();

    // Local runs.
    int workers() const { return static_cast<int>(scheduler_.limit()); }
    void set_workers(int n);
    // Runs the scenarios that are not up to date (all of them with FORCE), once qvopt has
    // checked their records again; nothing while runs go on. A scenario that Slurm or another
    // program runs is never started.
    void run(bool force);
    void rerun_failed();
    // Asks every running qvopt to end its model and marks the rows stopped as each ends; queued
    // rows go back to what they were.
    void stop();
    // Ends the run of one row that this window runs; the others go on.
    void stop_row(int row);
    // Asks Slurm to cancel the task of a row (scancel <job>_<task>); its state follows from the
    // next check. A refusal is shown with scancel's words.
    void cancel_slurm_task(int row);
    int running_count() const;
    int queued_count() const;
    bool local_active() const { return scheduler_.active(); }
    // A Slurm task of the campaign is still queued or running.
    bool slurm_active() const;
    BatchActivity activity() const;

    // Slurm: follows the tasks of a job just submitted (and those found by any later check).
    void follow_slurm();

    // Progress of the latest Run: done, failed and skipped rows.
    int finished_count() const;
    // Estimated time left of the latest Run (runs::BatchScheduler::time_left).
    std::optional<qint64> eta_ms() const;

  signals:
    // Counts, the list path or the checking state changed.
    void progressChanged();

  private:
    using Rows = BatchTable::Rows;
    struct Check;
    struct FactsPage;

    void check(Rows candidate, QString list_for_query, std::function<void(Rows)> apply);
    void take_status_lines();
    void check_ended();
    void apply_status(BatchRow& r, const QJsonObject& o);
    void set_rows(Rows rows);
    void remember_list();
    void poll();
    void follow_others();

    void ask_facts();
    void take_facts(FactsPage& page, const QList<QByteArray>& lines);

    void start_runs(runs::Selection selection);
    void start_next();
    void run_ended(std::size_t job, const QvoptReply& reply);
    void tick();

    Session& s_;
    QvoptClient client_;
    BatchTable table_;
    QString list_path_;
    bool modified_ = false;
    QString settings_file_;
    // Made by the first check of rows that have no list file: most sessions never make one.
    std::optional<QTemporaryDir> temp_;

    std::unique_ptr<Check> check_;
    std::deque<std::weak_ptr<BatchRow>> facts_queue_;
    QString facts_base_;  // the first row and the list the facts were asked against
    int facts_running_ = 0;

    runs::BatchScheduler scheduler_;
    Rows batch_;                            // the rows of the latest Run, by job
    std::vector<QPointer<QProcess>> runs_;  // their qvopt, while it runs
    std::vector<bool> stop_asked_;          // by the row's Stop
    bool start_pending_ = false;
    QTimer ticker_;
    QTimer poll_;
};

// Asks before qv-gui ends while local batch runs go on; Yes stops them (they end by themselves,
// and with qv-gui). False keeps qv-gui open.
bool confirm_end_with_batch_runs(Session& s, BatchCampaign& campaign);

// The question that asks it.
QString end_with_runs_question(int running, int queued, bool slurm);

}  // namespace qv
