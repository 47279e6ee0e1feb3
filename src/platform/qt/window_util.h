#pragma once

#include <QWidget>

namespace qv {

// Places a window in the middle of the screen it is on.
void center_form(QWidget* window);

// Shows a modeless window and brings it to the front (also when it is already open).
void show_to_front(QWidget* window);

}  // namespace qv
