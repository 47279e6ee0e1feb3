#include "shell/batch_table.h"

#include <QFileInfo>
#include <QLocale>

#include "platform/qt/qt_ui.h"
#include "runs/run_end.h"

namespace qv {

namespace {

std::chrono::milliseconds running_for(const BatchRow& r) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 *r.running_since);
}

}  // namespace

BatchTable::BatchTable(QObject* parent) : QAbstractTableModel(parent) {}

int BatchTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int BatchTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : column_count;
}

QString BatchTable::state_text(const BatchRow& r) {
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
            if (r.running_since)
                return "running " + QString::fromStdString(runs::clock_text(running_for(r)));
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

QVariant BatchTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const BatchRow& r = *rows_[static_cast<std::size_t>(index.row())];
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
            if (r.running_since)
                return display_text(runs::duration_text(running_for(r)));
            return r.duration_ms ? display_text(runs::duration_text(
                                       std::chrono::milliseconds(*r.duration_ms)))
                                 : QString();
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

QVariant BatchTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const names[column_count] = {
        "Options file", "Title", "Region", "Status", "Duration", "Output size", "Last run"};
    return section >= 0 && section < column_count ? QString(names[section]) : QString();
}

void BatchTable::set_rows(Rows rows) {
    if (rows == rows_) {
        changed(nullptr);
        return;
    }
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void BatchTable::remove_row(int i) {
    if (i < 0 || i >= rowCount())
        return;
    beginRemoveRows({}, i, i);
    rows_.erase(rows_.begin() + i);
    endRemoveRows();
}

void BatchTable::changed(const BatchRow* r, int first_col, int last_col) {
    if (rows_.empty())
        return;
    if (!r) {
        emit dataChanged(index(0, first_col), index(rowCount() - 1, last_col));
        return;
    }
    for (int i = 0; i < rowCount(); ++i) {
        if (rows_[static_cast<std::size_t>(i)].get() == r) {
            emit dataChanged(index(i, first_col), index(i, last_col));
            return;
        }
    }
}

void BatchTable::tick() {
    for (int i = 0; i < rowCount(); ++i)
        if (rows_[static_cast<std::size_t>(i)]->running_since)
            emit dataChanged(index(i, status_col), index(i, duration_col));
}

}  // namespace qv
