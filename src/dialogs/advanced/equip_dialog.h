#pragma once

#include "dialogs/advanced/list_window.h"

namespace qv {

// Equipment Population: the population files. Add and Delete change the list on the screen
// only; Replace edits the working list and shows it again. A close that was not cancelled
// commits the screen list, every entry labelled as a population file.
class EquipDialog : public FileListWindow {
    Q_OBJECT

  public:
    explicit EquipDialog(Session& s, QWidget* parent = nullptr);

  protected:
    void add_file() override;
    void replace() override;
    void entry_clicked() override;
    void closing_step() override;
};

}  // namespace qv
