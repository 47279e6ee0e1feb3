#include "shell/run_record_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "runs/recorded_scenario.h"
#include "runs/run_record.h"
#include "shell/compare_window.h"
#include "shell/last_run.h"

namespace qv {

namespace {

enum Column { file_col, role_col, size_col, date_col, hash_col, changed_col, column_count };

std::string role_text(const runs::RecordedFile& f) {
    if (f.role != "input")
        return f.role;
    return "input " + f.packet + " " + f.key;
}

std::string facts_text(const std::string& record_path, const runs::RecordStatus& status) {
    using runs::RecordState;
    if (status.state == RecordState::never_run)
        return "No run record: " + (record_path.empty() ? "the scenario names no output file"
                                                        : record_path + " does not exist");
    if (status.state == RecordState::unreadable)
        return "Record unreadable: " + status.why + "\n" + record_path;
    const runs::RunRecord& r = *status.record;
    std::string text = "Record: " + record_path + "\n";
    text += "Title: " + r.title + "\n";
    text += "Started: " + local_time_text(r.started_ms) +
            "   Ended: " + local_time_text(r.ended_ms) + "   Duration: " +
            runs::duration_text(std::chrono::milliseconds(r.ended_ms - r.started_ms)) + "\n";
    text += "End: " + runs::end_text(r.end()) + "\n";
    text += "Command line: " + r.command_line + "\n";
    text += "Run by " + r.program_name + " " + r.program_version + " on " + r.host + " as " +
            r.user + "\n";
    text += "Status now: " + runs::describe(status);
    return text;
}

}  // namespace

RunRecordWindow::RunRecordWindow(Session& s, const Hasher& hasher, QWidget* parent)
    : QWidget(parent, Qt::Window), s_(s), hasher_(hasher) {
    setObjectName("RunRecord");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Run Record");

    auto* layout = new QVBoxLayout(this);
    facts_ = new QLabel(this);
    facts_->setObjectName("RecordFacts");
    facts_->setTextFormat(Qt::PlainText);
    facts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    facts_->setWordWrap(true);
    layout->addWidget(facts_);

    table_ = new QTableWidget(0, column_count, this);
    table_->setObjectName("RecordTable");
    table_->setHorizontalHeaderLabels(
        {"File", "Role", "Size", "Date", "SHA-256", "Changed since the run"});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    // One line per file; a long path loses its start rather than its name.
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideLeft);
    layout->addWidget(table_, 1);

    // What changed in the scenario itself, when the options file is among the changed files.
    changes_label_ = new QLabel(this);
    changes_label_->setObjectName("ScenarioChangesLbl");
    changes_label_->setTextFormat(Qt::PlainText);
    changes_label_->setWordWrap(true);
    layout->addWidget(changes_label_);
    changes_ = difference_table(this, "ScenarioChanges", "At the run", "Now");
    layout->addWidget(changes_, 1);

    auto* buttons = new QHBoxLayout;
    auto* again = new QPushButton("&Refresh", this);
    again->setObjectName("cmdRefresh");
    connect(again, &QPushButton::clicked, this, &RunRecordWindow::refresh);
    auto* close_button = new QPushButton("&Close", this);
    close_button->setObjectName("cmdClose");
    close_button->setDefault(true);
    connect(close_button, &QPushButton::clicked, this, &QWidget::close);
    buttons->addStretch();
    buttons->addWidget(again);
    buttons->addWidget(close_button);
    layout->addLayout(buttons);

    resize(1000, 520);
    refresh();
    center_form(this);
}

void RunRecordWindow::refresh() {
    const std::string record = record_path_.empty() ? runs::record_path_of(s_) : record_path_;
    runs::RecordStatus status;
    if (!record.empty())
        status = runs::check_record(record, s_.fs, hasher_);
    facts_->setText(display_text(facts_text(record, status)));

    table_->setRowCount(0);
    show_scenario_changes(status);
    if (!status.record)
        return;
    std::set<std::string> changed;
    for (const auto& c : status.changed)
        changed.insert(c.path);
    const auto files = status.record->files();
    table_->setRowCount(static_cast<int>(files.size()));
    for (int row = 0; row < static_cast<int>(files.size()); ++row) {
        const runs::RecordedFile& f = *files[static_cast<std::size_t>(row)];
        const bool is_changed = changed.count(f.path) != 0;
        std::string size, date, hash;
        if (f.kind != "file") {
            size = f.kind;
        } else if (!f.exists) {
            size = "missing";
        } else {
            size = std::to_string(f.size);
            date = local_time_text(f.mtime_ns / 1'000'000);
            hash = f.sha256.substr(0, 12);
        }
        const std::string cells[column_count] = {f.path, role_text(f), size,
                                                 date,   hash,         is_changed ? "yes" : "no"};
        for (int col = 0; col < column_count; ++col) {
            auto* item = new QTableWidgetItem(display_text(cells[col]));
            if (col == size_col)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (col == file_col)
                item->setToolTip(display_text(f.path));
            if (col == hash_col)
                item->setToolTip(display_text(f.sha256));
            if (is_changed) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setForeground(warning_colour());
                item->setBackground(QColor(0xff, 0xe8, 0xe0));
            }
            table_->setItem(row, col, item);
        }
    }
    table_->resizeColumnsToContents();
    table_->resizeRowsToContents();
    table_->horizontalHeader()->setSectionResizeMode(file_col, QHeaderView::Stretch);
}

void RunRecordWindow::show_scenario_changes(const runs::RecordStatus& status) {
    const bool options_changed =
        status.record && std::any_of(status.changed.begin(), status.changed.end(),
                                     [](const auto& c) { return c.role == "options file"; });
    changes_label_->setVisible(options_changed);
    changes_->setVisible(false);
    if (!options_changed)
        return;
    // The options file as it is on disk now, the same file the record's run was given.
    QuietUi quiet;
    std::string failure;
    auto now = read_in_own_session(s_, quiet, s_.fs.program_path(status.record->options_file.path),
                                   failure);
    runs::ScenarioChanges changes;
    if (now)
        changes = runs::changes_since_run(*now, *status.record, quiet);
    else
        changes.unknown = failure;
    std::string text = "Changed in the scenario since this run: ";
    if (!changes.unknown.empty())
        text += changes.unknown;
    else if (changes.differences.empty())
        text += "nothing but blank lines or the save stamp";
    else
        text += std::to_string(changes.differences.size()) +
                (changes.differences.size() == 1 ? " difference" : " differences");
    changes_label_->setText(display_text(text));
    fill_difference_table(changes_, changes.differences);
    changes_->setVisible(!changes.differences.empty());
}

void RunRecordWindow::show_record(const std::string& record_path) {
    record_path_ = record_path;
    refresh();
}

void RunRecordWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace qv
