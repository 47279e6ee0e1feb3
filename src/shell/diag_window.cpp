#include "shell/diag_window.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include "platform/app_error.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "shell/viewers.h"

namespace qv {

namespace {

// The system's fixed font, and failing that any monospaced one, so that columns line up.
QFont fixed_pitch_font() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({font.family(), "DejaVu Sans Mono", "Monospace"});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

}  // namespace

DiagWindow::DiagWindow(Session& s, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmdiag");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Diagnostic");

    auto* list = new QListWidget(this);
    list->setObjectName("Lstdiag");
    list->setFont(fixed_pitch_font());
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Command1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    // Window at 80 % of the screen, the list at 90 % of the window and centred across it, the
    // button under the list's left edge.
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize area = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    resize(area.width() * 8 / 10, area.height() * 8 / 10);
    const int list_width = width() * 9 / 10;
    const int list_height = height() * 9 / 10;
    list->setGeometry((width() - list_width) / 2, 0, list_width, list_height);
    ok->setGeometry(QRect(QPoint(list->x(), list_height), ok->sizeHint()));
    center_form(this);

    setWindowTitle(display_text("Packets from " + s.sc.option_file_name));
    // The file as it is on disk: one that cannot be read leaves the list empty.
    try {
        for (const std::string& line : diag_packet_lines(s.fs.read_file(s.option_file_path())))
            list->addItem(display_text(line));
    } catch (const AppError&) {
    }
}

void DiagWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace qv
