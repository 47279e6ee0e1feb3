#pragma once

#include <QWidget>

#include <map>
#include <string>

#include "scenario/options_rules.h"
#include "scenario/session.h"

class QLineEdit;
class QRadioButton;

namespace qv {

// The Options window: titles, fuel, temperature, ethanol, altitude and Stage II values.
class OptionsDialog : public QWidget {
    Q_OBJECT
  public:
    explicit OptionsDialog(Session& s, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    // Runs every check; closes the window when all passed.
    void recheck();
    void cancel();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QLineEdit* add_box(const char* control);
    void fill();
    void copy_back();
    OptionsBoxes boxes();

    Session& s_;
    // The flags as the window found them (Cancel goes back to these).
    bool options_changed_before_;
    bool stage2_changed_before_;
    bool stage2_present_before_;
    std::map<std::string, QLineEdit*> box_;
    QRadioButton* high_ = nullptr;
    QRadioButton* low_ = nullptr;
    QLineEdit* focus_ = nullptr;  // the box under test
    std::string errobj_;          // the box that failed the latest check
    bool closing_ = false;        // OK passed or Cancel: the close needs no further check
    bool cancelled_ = false;      // Cancel or Esc: the close stores nothing
};

}  // namespace qv
