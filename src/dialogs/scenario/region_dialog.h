#pragma once

#include <string>
#include <vector>

#include <QWidget>

#include "scenario/session.h"

class QButtonGroup;
class QListWidget;
class QPushButton;

namespace qv {

// The Region window: the region level, the states and counties to add, and the current
// selection. It rebuilds the allocation and population file lists on opening and again when the
// selection is committed on closing.
class RegionDialog : public QWidget {
    Q_OBJECT
  public:
    explicit RegionDialog(Session& s, QWidget* parent = nullptr);

    // The distinct state abbreviations of the selection, as the last rebuild of the current
    // selection found them.
    const std::vector<std::string>& selected_states() const { return selected_states_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void level_clicked(int level);
    void state_row_changed(int row);
    void add_selection();
    void double_clicked();
    void delete_marked();
    void show_selection();
    void state_query(int row);
    void ok();
    void cancel();
    void escape();
    void drop_visit();

    Session& s_;
    int reglevel_ = 0;
    bool fromstates_ = false;
    bool dropped_ = false;  // Cancel or Esc: nothing of this visit is kept
    bool changed_before_open_ = false;
    // The working file lists as the window found them, for Cancel and Esc.
    AllocList alloc_work_saved_, pop_work_saved_;
    RegionList state_regions_;
    RegionList county_regions_;
    RegionList region_list_saved_;
    int region_level_saved_ = 0;
    std::vector<std::string> selected_states_;

    QButtonGroup* optreg_ = nullptr;
    QListWidget* states_ = nullptr;
    QListWidget* counties_ = nullptr;
    QListWidget* regselect_ = nullptr;
    QPushButton* addsel_ = nullptr;
};

}  // namespace qv
