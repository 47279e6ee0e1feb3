#pragma once

#include <QString>
#include <functional>

class QBoxLayout;
class QWidget;

namespace qv {

// A "Find:" box with "Find next" under a text: Enter or the button looks for the box's text from
// the cursor on, and from the top again when nothing follows; Ctrl+F in the window goes to the
// box. `find` answers whether the text was found from where the cursor is.
void add_find_row(QWidget* window, QBoxLayout* layout,
                  std::function<bool(const QString&)> find_from_cursor,
                  std::function<void()> cursor_to_start);

}  // namespace qv
