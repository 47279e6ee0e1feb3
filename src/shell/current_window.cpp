#include "shell/current_window.h"

#include <QFile>
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
    // Long paths are cut in the middle to fit the screen; the whole line is the tooltip.
    auto add_line = [this, layout](const QString& text, const QString& name) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setText(elided_path(label, text, 880));
        if (label->text() != text)
            label->setToolTip(text);
        layout->addWidget(label);
    };
    for (std::size_t i = 0; i < lines.size(); ++i)
        add_line(display_text(lines[i]), names[i]);
    // The folder as the file system spells it: what tells two copies on two files apart.
    if (!s.sc.option_file_dir.empty())
        add_line("Folder " + QFile::decodeName(
                                 QByteArray::fromStdString(s.fs.host_path(s.sc.option_file_dir))),
                 "Folderlbl");

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
