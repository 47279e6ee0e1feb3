#pragma once

#include <QWidget>

#include "scenario/session.h"

namespace qv {

// "File Status": every configured path and the current scenario's files, as they were when the
// window opened.
class CurrentWindow : public QWidget {
    Q_OBJECT
  public:
    explicit CurrentWindow(Session& s, QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace qv
