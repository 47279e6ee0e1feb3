#include "shell/batch_window.h"

#include <QKeyEvent>

#include "platform/qt/window_util.h"

namespace qv {

BatchWindow::BatchWindow(Session&, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Batch");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Batch");
    resize(360, 240);
    center_form(this);
}

void BatchWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace qv
