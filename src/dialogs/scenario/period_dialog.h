#pragma once

#include <QWidget>

#include <functional>

#include "scenario/period_rules.h"
#include "scenario/session.h"

class QButtonGroup;
class QGroupBox;
class QLineEdit;

namespace qv {

// The Period window: period kind, summation type, season, month, day kind and three years.
class PeriodDialog : public QWidget {
    Q_OBJECT
  public:
    explicit PeriodDialog(Session& s, QWidget* parent = nullptr);

    // Checks the three years; stores the values and closes when they pass.
    void ok();
    void cancel();
    const PeriodValues& values() const { return v_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QGroupBox* option_group(const char* caption, const char* frame, const char* control,
                            const std::vector<const char*>& captions, int columns,
                            QButtonGroup*& group);
    QLineEdit* year_box(const char* control);
    bool years_ok();
    void periodenable();
    // Runs one step of the opening; a failure is logged and the opening goes on.
    void guarded(const std::function<void()>& step);
    void select(QButtonGroup* group, int index);

    Session& s_;
    PeriodValues v_;
    bool cancelled_ = false;
    // period_changed as the window found it: Cancel and Esc leave the flag as it was.
    bool period_changed_before_ = false;
    bool checked_ = false;  // OK found the years good
    QButtonGroup* period_ = nullptr;
    QButtonGroup* ptype_ = nullptr;
    QButtonGroup* season_ = nullptr;
    QButtonGroup* month_ = nullptr;
    QButtonGroup* week_ = nullptr;
    QLineEdit* year_ = nullptr;
    QLineEdit* growth_year_ = nullptr;
    QLineEdit* tech_year_ = nullptr;
};

}  // namespace qv
