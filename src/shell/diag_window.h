#pragma once

#include <QWidget>

#include "scenario/session.h"

namespace qv {

// "Packets from <file>": the file-naming packets of the current options file as they stand on
// disk, in a fixed-pitch list.
class DiagWindow : public QWidget {
    Q_OBJECT
  public:
    explicit DiagWindow(Session& s, QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace qv
