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
};

}  // namespace qv
