#include "platform/qt/program_ending.h"

#include <QCoreApplication>
#include <QVariant>

namespace qv {

namespace {
constexpr const char* ending_property = "qvProgramEnding";
}  // namespace

bool program_ending() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->property(ending_property).toBool();
}

void set_program_ending(bool ending) {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty(ending_property, ending);
}

}  // namespace qv
