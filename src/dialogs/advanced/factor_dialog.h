#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <string>

#include "scenario/session.h"

namespace qv {

// What tells the Emission Factors and Deterioration Factors dialogs apart.
struct FactorDialogTraits {
    const char* form;
    const char* caption;
    std::array<std::string, factor_file_count> Scenario::*files;
    bool ListDialogMemory::*cancelled;
    const char* filter;
    const char* subdir;  // the chooser starts in data_dir + this
    std::array<bool, emission_type_count> box_shown;
    bool marks_emfac;  // every change of a box marks "/EMFAC FILES/" for rewriting
};

const FactorDialogTraits& emission_factor_traits();
const FactorDialogTraits& deterioration_factor_traits();

// The caption of the label and of the menu entry of each emission type.
extern const std::array<const char*, emission_type_count> factor_label_captions;
extern const std::array<const char*, emission_type_count> factor_menu_captions;

// One file per emission type: fifteen boxes, a menu that picks a file per type, OK after every
// named file exists. A close that is not cancelled stores the boxes, hidden ones included.
class FactorDialog : public QWidget {
    Q_OBJECT

  public:
    FactorDialog(Session& s, const FactorDialogTraits& traits, QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void pick(int type);
    void test_exist();
    void cancel();

    Session& s_;
    const FactorDialogTraits& traits_;
    bool& cancelled_;
    // emfac_changed as the window found it: a Cancel leaves the flag as it was.
    bool emfac_changed_before_;
    std::array<QLineEdit*, emission_type_count> boxes_{};
};

}  // namespace qv
