#pragma once

#include <QLineEdit>

#include "dialogs/advanced/list_window.h"

namespace qv {

// Geographic Allocation: the allocation look-up table and the allocation file list. The visit
// edits the working list and commits it when it closes, unless the last Cancel still stands.
class GeoallocDialog : public FileListWindow {
    Q_OBJECT

  public:
    explicit GeoallocDialog(Session& s, QWidget* parent = nullptr);

  protected:
    void add_file() override;
    void delete_selected() override;
    void replace() override;
    void entry_clicked() override;
    void closing_step() override;
    bool ok_step() override;
    void cancel_step() override;

  private:
    void change_lookup();
    void refill();

    QLineEdit* txtalloc_;
    bool changed_ = false;  // the list was touched in this visit
    // alloc_files_changed as the window found it: a change accepted earlier (an OK here, a
    // Region commit) and not yet saved must still be written after this visit's Cancel.
    bool alloc_files_changed_before_;
};

}  // namespace qv
