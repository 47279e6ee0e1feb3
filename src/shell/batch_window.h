#pragma once

#include <QWidget>

#include "scenario/session.h"

namespace qv {

// "Batch": the empty window behind the Batch menu, which offers nothing yet (qvopt run does
// batch runs).
class BatchWindow : public QWidget {
    Q_OBJECT
  public:
    explicit BatchWindow(Session& s, QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace qv
