#include "shell/current_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "shell/viewers.h"

namespace qv {

CurrentWindow::CurrentWindow(Session& s, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Current");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("File Status");

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    QMenu* done_menu = bar->addMenu("Done");
    done_menu->setObjectName("mnud");
    QAction* done = done_menu->addAction("Done");
    done->setObjectName("mnudone");
    connect(done, &QAction::triggered, this, &QWidget::close);
    layout->setMenuBar(bar);

    static const char* const names[] = {"Modellbl",  "executlbl", "inputoptlbl", "datadirlbl",
                                        "Accesslbl", "Optionlbl", "Outputlbl",   "Messagelbl"};
    const std::vector<std::string> lines = file_status_lines(s);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto* label = new QLabel(display_text(lines[i]), this);
        label->setObjectName(names[i]);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Command1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    layout->addSpacing(8);
    layout->addWidget(ok, 0, Qt::AlignHCenter);

    adjustSize();
    center_form(this);
}

void CurrentWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace qv
