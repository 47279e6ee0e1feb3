#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

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

// One scenario of the campaign, as the Batch window shows it.
struct BatchRow {
    QString path;     // host path of the options file
    QString written;  // the name as the list holds it
    QString title;
    QString region;        // level and number of regions, such as "STATE, 3"
    QString message_file;  // the message file as the scenario names it (program form), once known
    QString output_data;   // host path of the output data file, once known
    RowState state = RowState::checking;
    QString detail;       // why out of date, how it failed
    QString end;          // how the run of this window ended (runs::end_text), once one has
    QString slurm_task;   // "<job>_<task>" while Slurm holds one for it
    QString slurm_state;  // as squeue reports it
    // Another program on this machine runs it (its running-scenario lock is held).
    bool elsewhere = false;
    std::optional<qint64> duration_ms;
    QDateTime last_run;
    qint64 output_size = -1;
    // While this window runs it: since when.
    std::optional<std::chrono::steady_clock::time_point> running_since;

    RowState before_queued = RowState::never_run;  // what a row queued by Run shows again on Stop
    bool ran_here = false;  // run by this window since the campaign was loaded
    bool skipped = false;   // passed over by the latest Run as up to date
    bool facts_asked = false;
};

// The Batch window's table: one row per scenario with its options file, title, region, status,
// duration, output size and last run. It only shows the rows it is given; the campaign
// (BatchCampaign) fills and changes them.
class BatchTable : public QAbstractTableModel {
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
    using Rows = std::vector<std::shared_ptr<BatchRow>>;

    explicit BatchTable(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const Rows& rows() const { return rows_; }
    // New rows; the same rows again keep the view's selection and scroll position.
    void set_rows(Rows rows);
    void remove_row(int i);
    // A row's values changed (every row when R is null); only the given columns when asked.
    void changed(const BatchRow* r, int first_col = 0, int last_col = column_count - 1);
    // The clocks of the running rows moved on.
    void tick();

    // The status column's text.
    static QString state_text(const BatchRow& r);

  private:
    Rows rows_;
};

}  // namespace qv
