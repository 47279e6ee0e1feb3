#include "platform/qt/window_util.h"

#include <QGuiApplication>
#include <QScreen>

namespace qv {

void center_form(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->availableGeometry();
    QSize size = window->frameGeometry().size();
    window->move(area.left() + (area.width() - size.width()) / 2,
                 area.top() + (area.height() - size.height()) / 2);
}

void show_to_front(QWidget* window) {
    window->show();
    if (window->isMinimized()) window->showNormal();
    window->raise();
    window->activateWindow();
}

}  // namespace qv
