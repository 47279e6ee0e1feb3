#pragma once

#include "dialogs/advanced/list_window.h"

namespace qv {

// Growth: the growth files. The list on the screen is the working copy; a close that was not
// cancelled rebuilds growth_files from it.
class GrowthDialog : public FileListWindow {
    Q_OBJECT

  public:
    explicit GrowthDialog(Session& s, QWidget* parent = nullptr);

  protected:
    void add_file() override;
    void replace() override;
    void entry_clicked() override;
    void closing_step() override;
};

}  // namespace qv
