#pragma once

#include <QWidget>

#include "scenario/session.h"

class QLabel;

namespace qv {

// The about window: the program's version, and its executable with its date (or the command
// line's arguments when it was started with some). F1 shows and hides that line. A copy that
// keeps qv-gui.ini and region.txt in the per-user folder names that folder below.
class AboutWindow : public QWidget {
    Q_OBJECT
  public:
    explicit AboutWindow(Session& s, QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* date_ = nullptr;
};

}  // namespace qv
