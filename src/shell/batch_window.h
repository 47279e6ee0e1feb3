#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

#include <functional>

#include "scenario/session.h"
#include "shell/services.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;

namespace qv {

class BatchCampaign;

// "Batch": a campaign of options files as a table, one row per scenario with its title,
// region, status, duration, output size and last run, under the progress of the latest Run.
// The campaign and its runs belong to the main window, so this window may be closed and opened
// again while they go on.
class BatchWindow : public QWidget {
    Q_OBJECT
  public:
    // `main` is the main window, which keeps the campaign.
    BatchWindow(Session& s, BatchCampaign& campaign, const ShellServices& services,
                QWidget* main = nullptr);

    BatchCampaign* jobs() const { return &jobs_; }
    // Asked before "Open in main window" reads a scenario; false refuses (it said why).
    void set_open_check(std::function<bool()> check) { may_open_ = std::move(check); }

    // "&Run Batch": runs the listed scenarios unless runs are going on.
    void run_batch();

    // The row actions, also offered by the context menu.
    void view_message_file(int row);
    void view_console_log(int row);
    void show_run_record(int row);
    void open_in_main_window(int row);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void add_files();
    void remove_selected();
    void open_list();
    void save_list();
    void make_variants();
    void run();
    void stop();
    void submit_to_slurm();
    void context_menu(const QPoint& at);
    void update_state();
    bool ensure_saved_list();

    Session& s_;
    QPointer<QWidget> main_;
    BatchCampaign& jobs_;
    ShellServices services_;
    std::function<bool()> may_open_;

    QLabel* list_label_;
    QProgressBar* progress_;
    QLabel* eta_;
    QTableView* table_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* open_list_;
    QPushButton* save_list_;
    QPushButton* make_variants_;
    QSpinBox* workers_;
    QPushButton* run_;
    QCheckBox* run_all_;
    QPushButton* stop_;
    QPushButton* rerun_failed_;
    QPushButton* slurm_;
};

// "0:01:05 left" and the like, for the estimated time left.
QString time_left_text(qint64 ms);

}  // namespace qv
