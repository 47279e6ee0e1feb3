#include "shell/batch_window.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

#include "dialogs/batch/make_variants_dialog.h"
#include "dialogs/batch/slurm_submit_dialog.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "runs/run_end.h"
#include "shell/batch_campaign.h"
#include "shell/file_menu.h"
#include "shell/qvopt_client.h"
#include "shell/run_record_window.h"
#include "shell/viewers.h"

namespace qv {

namespace {

const char* const list_filter = "Campaign lists (*.txt)|*.txt|All files (*.*)|*.*";

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

}  // namespace

QString time_left_text(qint64 ms) {
    return QString::fromStdString(runs::clock_text(std::chrono::milliseconds(ms))) + " left";
}

BatchWindow::BatchWindow(Session& s, BatchCampaign& jobs, const ShellServices& services,
                         QWidget* main)
    : QWidget(main, Qt::Window), s_(s), main_(main), jobs_(jobs), services_(services) {
    setObjectName("Batch");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Batch");

    auto* layout = new QVBoxLayout(this);
    list_label_ = new QLabel(this);
    list_label_->setObjectName("BatchList");
    list_label_->setTextFormat(Qt::PlainText);
    layout->addWidget(list_label_);

    auto* top = new QHBoxLayout;
    progress_ = new QProgressBar(this);
    progress_->setObjectName("BatchProgress");
    progress_->setFormat("%v of %m finished");
    eta_ = new QLabel(this);
    eta_->setObjectName("BatchEta");
    eta_->setMinimumWidth(eta_->fontMetrics().horizontalAdvance("0:00:00 left") + 8);
    top->addWidget(progress_, 1);
    top->addWidget(eta_);
    layout->addLayout(top);

    table_ = new QTableView(this);
    table_->setObjectName("BatchTable");
    table_->setModel(jobs_.table());
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideLeft);
    table_->verticalHeader()->setVisible(false);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(BatchTable::status_col, QHeaderView::Stretch);
    const QFontMetrics fm = table_->fontMetrics();
    const int widths[BatchTable::column_count] = {
        fm.horizontalAdvance("MMMMMMMMMMMM.opt"),   fm.horizontalAdvance("MMMMMMMMMMMMMMMMMMM"),
        fm.horizontalAdvance("50STATE, 000"),       fm.horizontalAdvance("failed: exit status 0"),
        fm.horizontalAdvance("00 min 00 s"),        fm.horizontalAdvance("Output size"),
        fm.horizontalAdvance("00/00/0000 00:00 MM")};
    for (int c = 0; c < BatchTable::column_count; ++c)
        table_->setColumnWidth(c, widths[c] + 16);
    // A double-click or Enter on a row.
    connect(table_, &QTableView::activated, this,
            [this](const QModelIndex& i) { view_message_file(i.row()); });
    connect(table_, &QWidget::customContextMenuRequested, this, &BatchWindow::context_menu);
    layout->addWidget(table_, 1);

    auto* campaign = new QHBoxLayout;
    add_ = button(this, "cmdAdd", "&Add files...");
    remove_ = button(this, "cmdRemove", "Re&move");
    open_list_ = button(this, "cmdOpenList", "&Open list...");
    save_list_ = button(this, "cmdSaveList", "&Save list...");
    make_variants_ = button(this, "cmdMakeVariants", "Make &variants...");
    for (QPushButton* b : {add_, remove_, open_list_, save_list_, make_variants_})
        campaign->addWidget(b);
    campaign->addStretch();
    layout->addLayout(campaign);

    auto* runs = new QHBoxLayout;
    auto* workers_label = new QLabel("&Workers:", this);
    workers_ = new QSpinBox(this);
    workers_->setObjectName("spnWorkers");
    workers_->setRange(1, std::max(1, QThread::idealThreadCount()));
    workers_->setValue(jobs_.workers());
    workers_label->setBuddy(workers_);
    run_ = button(this, "cmdRun", "&Run");
    run_all_ = new QCheckBox("Run all, even up to &date", this);
    run_all_->setObjectName("chkRunAll");
    stop_ = button(this, "cmdStop", "S&top");
    rerun_failed_ = button(this, "cmdRerunFailed", "R&erun failed");
    slurm_ = button(this, "cmdSlurm", "Submit to S&lurm...");
    auto* close_button = button(this, "cmdClose", "&Close");
    runs->addWidget(workers_label);
    runs->addWidget(workers_);
    runs->addWidget(run_);
    runs->addWidget(run_all_);
    runs->addWidget(stop_);
    runs->addWidget(rerun_failed_);
    runs->addWidget(slurm_);
    runs->addStretch();
    runs->addWidget(close_button);
    layout->addLayout(runs);

    connect(add_, &QPushButton::clicked, this, &BatchWindow::add_files);
    connect(remove_, &QPushButton::clicked, this, &BatchWindow::remove_selected);
    connect(open_list_, &QPushButton::clicked, this, &BatchWindow::open_list);
    connect(save_list_, &QPushButton::clicked, this, &BatchWindow::save_list);
    connect(make_variants_, &QPushButton::clicked, this, &BatchWindow::make_variants);
    connect(workers_, &QSpinBox::valueChanged, &jobs_, &BatchCampaign::set_workers);
    connect(run_, &QPushButton::clicked, this, &BatchWindow::run);
    connect(stop_, &QPushButton::clicked, this, &BatchWindow::stop);
    connect(rerun_failed_, &QPushButton::clicked, &jobs_, &BatchCampaign::rerun_failed);
    connect(slurm_, &QPushButton::clicked, this, &BatchWindow::submit_to_slurm);
    connect(close_button, &QPushButton::clicked, this, &QWidget::close);
    connect(&jobs_, &BatchCampaign::progressChanged, this, &BatchWindow::update_state);
    connect(jobs_.table(), &QAbstractItemModel::modelReset, this, &BatchWindow::update_state);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BatchWindow::update_state);

    if (jobs_.size() == 0 && jobs_.list_path().isEmpty() && !jobs_.checking())
        jobs_.restore_last_campaign();
    update_state();
    resize(1100, 480);
    center_form(this);
}

void BatchWindow::update_state() {
    const int total = jobs_.size();
    const bool active = jobs_.local_active();
    const bool busy = active || jobs_.checking();
    progress_->setRange(0, std::max(1, total));
    progress_->setTextVisible(total > 0);
    progress_->setValue(std::min(jobs_.finished_count(), std::max(1, total)));
    const auto eta = jobs_.eta_ms();
    eta_->setText(eta ? time_left_text(*eta) : QString());
    QString list =
        jobs_.list_path().isEmpty() ? QString("List: (not saved)") : "List: " + jobs_.list_path();
    if (jobs_.modified() && !jobs_.list_path().isEmpty())
        list += " (changed)";
    if (jobs_.checking())
        list += "   checking the scenarios...";
    list_label_->setText(list);
    const bool selected = table_->selectionModel()->hasSelection();
    add_->setEnabled(!busy);
    remove_->setEnabled(!busy && selected);
    open_list_->setEnabled(!busy);
    save_list_->setEnabled(total > 0 && !jobs_.checking());
    make_variants_->setEnabled(!busy);
    run_->setEnabled(!busy && total > 0);
    rerun_failed_->setEnabled(!busy && total > 0);
    stop_->setEnabled(active);
    slurm_->setEnabled(!busy && total > 0 && slurm_available());
}

void BatchWindow::add_files() {
    ChooserRequest request;
    request.title = "Add option files";
    request.filter = "Option files (*.opt)|*.opt|All files (*.*)|*.*";
    request.initial_dir = s_.sc.option_file_dir;
    QStringList paths;
    for (const std::string& p : s_.ui.open_files(request))
        paths << QString::fromStdString(s_.fs.host_path(p));
    s_.back_to_app_dir();
    jobs_.add_files(paths);
}

void BatchWindow::remove_selected() {
    QList<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        rows << i.row();
    jobs_.remove_rows(rows);
}

void BatchWindow::open_list() {
    ChooserRequest request;
    request.title = "Open campaign list";
    request.filter = list_filter;
    if (!jobs_.list_path().isEmpty())
        request.initial_dir =
            s_.fs.program_path(QFileInfo(jobs_.list_path()).absolutePath().toStdString());
    const auto chosen = s_.ui.open_file(request);
    s_.back_to_app_dir();
    if (chosen)
        jobs_.open_list(QString::fromStdString(s_.fs.host_path(*chosen)));
}

void BatchWindow::save_list() {
    ChooserRequest request;
    request.title = "Save campaign list";
    request.filter = list_filter;
    request.overwrite_prompt = true;
    if (!jobs_.list_path().isEmpty()) {
        const std::string list = s_.fs.program_path(jobs_.list_path().toStdString());
        request.initial_dir =
            s_.fs.program_path(QFileInfo(jobs_.list_path()).absolutePath().toStdString());
        request.initial_name = list;
    } else {
        request.initial_name = "campaign.txt";
    }
    const auto chosen = s_.ui.save_file(request);
    s_.back_to_app_dir();
    if (chosen)
        jobs_.save_list(QString::fromStdString(s_.fs.host_path(*chosen)));
}

void BatchWindow::make_variants() {
    const auto list = qv::make_variants(s_, this);
    if (list)
        jobs_.open_list(QString::fromStdString(*list));
}

void BatchWindow::run() {
    jobs_.run(run_all_->isChecked());
}

void BatchWindow::run_batch() {
    if (!jobs_.local_active())
        jobs_.run(run_all_->isChecked());
}

void BatchWindow::stop() {
    if (!jobs_.local_active())
        return;
    if (s_.message("Stop the batch runs?\n\nEvery running model and every program it started "
                   "will be ended; their message and output files may be incomplete. Queued "
                   "scenarios are not started.",
                   Icon::Question, Buttons::YesNo) == Button::Yes)
        jobs_.stop();
}

// Slurm reads the campaign from its list file, so the list must be saved as the window shows it.
bool BatchWindow::ensure_saved_list() {
    if (!jobs_.list_path().isEmpty() && !jobs_.modified())
        return true;
    s_.message("Save the list first: Slurm runs the scenarios of a saved list file.",
               Icon::Exclamation);
    save_list();
    return !jobs_.list_path().isEmpty() && !jobs_.modified();
}

void BatchWindow::submit_to_slurm() {
    if (!ensure_saved_list())
        return;
    const auto submitted =
        qv::submit_to_slurm(s_, {qvopt_program(), qvopt_common_args(s_)},
                            jobs_.list_path().toStdString(), run_all_->isChecked(), this);
    if (submitted)
        jobs_.follow_slurm();
}

void BatchWindow::view_message_file(int row) {
    if (row < 0 || row >= jobs_.size())
        return;
    const BatchRow& r = jobs_.row(row);
    if (r.message_file.isEmpty())
        return;
    start_text_viewer(s_, services_.processes, program_text(r.message_file));
}

void BatchWindow::view_console_log(int row) {
    if (row < 0 || row >= jobs_.size() || jobs_.row(row).output_data.isEmpty())
        return;
    start_text_viewer(s_, services_.processes,
                      s_.fs.program_path((jobs_.row(row).output_data + ".log").toStdString()));
}

void BatchWindow::show_run_record(int row) {
    if (row < 0 || row >= jobs_.size() || jobs_.row(row).output_data.isEmpty())
        return;
    auto* window = new RunRecordWindow(s_, services_.hasher, main_ ? main_.data() : this);
    window->show_record((jobs_.row(row).output_data + ".run.json").toStdString());
    show_to_front(window);
}

void BatchWindow::open_in_main_window(int row) {
    if (row < 0 || row >= jobs_.size())
        return;
    // As File > Open: windows that hold values of the current scenario must be closed first,
    // and unsaved changes saved or given up.
    if (may_open_ && !may_open_())
        return;
    open_options_file(s_, s_.fs.program_path(jobs_.row(row).path.toStdString()));
}

void BatchWindow::context_menu(const QPoint& at) {
    const QModelIndex i = table_->indexAt(at);
    if (!i.isValid())
        return;
    const int row = i.row();
    QMenu menu(this);
    menu.setObjectName("BatchRowMenu");
    connect(menu.addAction("&Message file"), &QAction::triggered, this,
            [this, row] { view_message_file(row); });
    connect(menu.addAction("&Console log"), &QAction::triggered, this,
            [this, row] { view_console_log(row); });
    connect(menu.addAction("&Run record"), &QAction::triggered, this,
            [this, row] { show_run_record(row); });
    connect(menu.addAction("&Open in main window"), &QAction::triggered, this,
            [this, row] { open_in_main_window(row); });
    menu.exec(table_->viewport()->mapToGlobal(at));
}

void BatchWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace qv
