#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "scenario/session.h"
#include "shell/services.h"

namespace qv {

class BatchCampaign;

// What the main window gives the windows it makes, beyond the session.
struct WindowContext {
    ShellServices services;
    BatchCampaign& campaign;
    // Asked before a window reads another options file into the session; false refuses.
    std::function<bool()> may_open_scenario;
};

// Creates the window of a form name ("Options", "Periodfrm", "geoalloc", "about", ...), or
// nullptr when the program has no such window. The window is a modeless top-level window that
// deletes itself when closed; the main window keeps it while it is open and brings it to the
// front instead of creating another.
// "Batch" and "RunRecord" need the main window's CONTEXT; nullptr without one.
QWidget* create_window(const QString& form_name, Session& s, QWidget* main,
                       const WindowContext* context = nullptr);

}  // namespace qv
