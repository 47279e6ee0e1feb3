#pragma once

#include <QWidget>

namespace qv {

// Places a window in the middle of the screen it is on.
void center_form(QWidget* window);

// Places a window in the middle of the anchor window (on the screen when there is no anchor in
// sight); without it, a plain X server shows the window in the top-left corner.
void center_on(QWidget* window, const QWidget* anchor);

// Places a window beside the anchor window (right of it, else below, left or above), so that
// both can be seen; where none of these has room, the window is made smaller to fit the largest
// free side, or at last placed below the anchor as far as the screen allows.
void place_beside(QWidget* window, const QWidget* anchor);

// Makes a window no larger than the available area of its screen (taskbars and panels left
// out), with room for the window system's frame, and moves it inside that area, so that no
// button of it lies off the screen.
void fit_to_screen(QWidget* window);

// A path shortened in the middle ("/home/me/.../run/demo.opt") to fit `width` pixels in the
// widget's font, and at most three quarters of the screen; the whole path belongs in the
// widget's tooltip.
QString elided_path(const QWidget* widget, const QString& path, int width);

// Shows a modeless window and brings it to the front (also when it is already open), fitted to
// its screen.
void show_to_front(QWidget* window);

// Gives a shown window an empty name in the window system. An empty caption alone does not do
// it: Qt then names the window after the application.
void clear_window_system_title(QWidget* window);

}  // namespace qv
