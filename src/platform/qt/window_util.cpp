#include "platform/qt/window_util.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qv {

void center_form(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    QSize size = window->frameGeometry().size();
    window->move(area.left() + (area.width() - size.width()) / 2,
                 area.top() + (area.height() - size.height()) / 2);
}

void center_on(QWidget* window, const QWidget* anchor) {
    QScreen* screen = anchor ? anchor->screen() : nullptr;
    if (!anchor || !anchor->isVisible() || !screen) {
        center_form(window);
        return;
    }
    window->adjustSize();
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    const QPoint middle = anchor->frameGeometry().center();
    window->move(std::clamp(middle.x() - size.width() / 2, area.left(),
                            std::max(area.left(), area.right() + 1 - size.width())),
                 std::clamp(middle.y() - size.height() / 2, area.top(),
                            std::max(area.top(), area.bottom() + 1 - size.height())));
}

void place_beside(QWidget* window, const QWidget* anchor) {
    QScreen* screen = anchor ? anchor->screen() : nullptr;
    if (!anchor || !anchor->isVisible() || !screen) {
        center_form(window);
        return;
    }
    const QRect area = screen->availableGeometry();
    const QRect main = anchor->frameGeometry();
    // move() and resize() take the window without its frame.
    const QSize frame = window->frameGeometry().size() - window->size();
    const QSize size = window->frameGeometry().size();
    const QPoint spots[] = {{main.right() + 1, main.top()},
                            {main.left(), main.bottom() + 1},
                            {main.left() - size.width(), main.top()},
                            {main.left(), main.top() - size.height()}};
    for (const QPoint& p : spots) {
        if (area.contains(QRect(p, size))) {
            window->move(p);
            return;
        }
    }
    auto clamp = [](int v, int low, int high) { return std::max(low, std::min(v, high)); };
    const QRect right_room(QPoint(main.right() + 1, area.top()), area.bottomRight());
    const QRect below_room(QPoint(area.left(), main.bottom() + 1), area.bottomRight());
    auto room_area = [](const QRect& r) { return r.isValid() ? r.width() * r.height() : 0; };
    const bool use_right = room_area(right_room) > room_area(below_room);
    const QRect room = use_right ? right_room : below_room;
    const QSize fitted = size.boundedTo(room.size());
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize()) + frame;
    if (room.isValid() && fitted.width() >= least.width() && fitted.height() >= least.height()) {
        window->resize(fitted - frame);
        window->move(
            use_right ? QPoint(room.left(),
                               clamp(main.top(), room.top(), room.bottom() + 1 - fitted.height()))
                      : QPoint(clamp(main.left(), room.left(), room.right() + 1 - fitted.width()),
                               room.top()));
        return;
    }
    window->move(clamp(main.left(), area.left(), area.right() + 1 - size.width()),
                 clamp(main.bottom() + 1, area.top(), area.bottom() + 1 - size.height()));
}

namespace {
// The title bar and borders a window manager adds, before the window is shown and its frame is
// known.
constexpr int frame_allowance_x = 16;
constexpr int frame_allowance_y = 48;
}  // namespace

void fit_to_screen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QSize frame = window->frameGeometry().size() - window->size();
    if (!window->isVisible() || frame.isEmpty())
        frame = frame.expandedTo(QSize(frame_allowance_x, frame_allowance_y));
    const QSize room = area.size() - frame;
    if (window->isVisible() || window->testAttribute(Qt::WA_Resized)) {
        if (window->width() > room.width() || window->height() > room.height())
            window->resize(window->size().boundedTo(room));
    } else {
        window->resize(window->sizeHint().expandedTo(window->minimumSizeHint()).boundedTo(room));
    }
    const QRect outer(window->frameGeometry().topLeft(), window->size() + frame);
    const int x = std::clamp(outer.left(), area.left(),
                             std::max(area.left(), area.right() + 1 - outer.width()));
    const int y = std::clamp(outer.top(), area.top(),
                             std::max(area.top(), area.bottom() + 1 - outer.height()));
    if (x != outer.left() || y != outer.top())
        window->move(x, y);
}

QString elided_path(const QWidget* widget, const QString& path, int width) {
    QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    if (screen)
        width = std::min(width, screen->availableGeometry().width() * 3 / 4);
    return widget->fontMetrics().elidedText(path, Qt::ElideMiddle, width);
}

void show_to_front(QWidget* window) {
    fit_to_screen(window);
    window->show();
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

void clear_window_system_title(QWidget* window) {
    // Only the X window system names windows this way (the offscreen platform of the tests
    // answers the X11 interface too, without a connection).
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !window->windowHandle())
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return found;
    };
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        0, nullptr);
    const xcb_atom_t net_wm_name = atom("_NET_WM_NAME");
    const xcb_atom_t utf8 = atom("UTF8_STRING");
    if (net_wm_name != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, net_wm_name, utf8, 8, 0,
                            nullptr);
    xcb_flush(connection);
}

}  // namespace qv
