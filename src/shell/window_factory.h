#pragma once

#include <QString>
#include <QWidget>

#include "scenario/session.h"

namespace qv {

// Creates the window of a form name ("Options", "Periodfrm", "geoalloc", "about", ...), or
// nullptr when the program has no such window. The window is a modeless top-level window that
// deletes itself when closed; the main window keeps it while it is open and brings it to the
// front instead of creating another.
QWidget* create_window(const QString& form_name, Session& s, QWidget* main);

}  // namespace qv
