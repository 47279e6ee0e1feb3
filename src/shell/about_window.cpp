#include "shell/about_window.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "shell/viewers.h"

namespace qv {

namespace {

std::string executable_detail(Session& s) {
    const QString exe = QCoreApplication::applicationFilePath();
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QDateTime modified = QFileInfo(exe).lastModified();
    return about_detail_text(
        s.fs.program_path(program_text(exe)),
        program_text(QLocale::system().toString(modified, QLocale::ShortFormat)),
        program_text(args.join(' ')));
}

}  // namespace

AboutWindow::AboutWindow(Session& s, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("about");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("");

    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel("Quarvel Model Interface ", this);
    name->setObjectName("Label1");
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    name->setFont(big);
    auto* version = new QLabel(display_text(version_text()), this);
    version->setObjectName("VerLbl");
    date_ = new QLabel(display_text(executable_detail(s)), this);
    date_->setObjectName("DateLbl");
    // Only a copy that keeps its files in the per-user folder says where they are.
    auto* place = new QLabel(display_text(settings_place_text(s.settings)), this);
    place->setObjectName("SettingsLbl");
    place->setVisible(!place->text().isEmpty());
    place->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Command1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    for (QLabel* label : {name, version, date_, place})
        layout->addWidget(label, 0, Qt::AlignHCenter);
    layout->addSpacing(8);
    layout->addWidget(ok, 0, Qt::AlignHCenter);

    adjustSize();
    center_form(this);
}

void AboutWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window has no caption at all, also in the window system's name of it.
    clear_window_system_title(this);
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1)
        date_->setVisible(date_->isHidden());
    else if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace qv
