#include "shell/help_window.h"

#include <QFile>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "platform/qt/window_util.h"
#include "shell/find_row.h"

// Resources of a static library are registered by name, outside any namespace.
static void init_guide_resource() {
    Q_INIT_RESOURCE(guide);
}

namespace qv {

QString user_guide_markdown() {
    init_guide_resource();
    QFile file(":/qv-gui/user-guide.md");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    // The README's screenshots lie beside it in the source tree, not in the program.
    static const QRegularExpression picture(R"(^!\[[^\n]*\n?)",
                                            QRegularExpression::MultilineOption);
    return text.remove(picture);
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Help");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("QV-GUI Help");
    auto* layout = new QVBoxLayout(this);
    text_ = new QTextBrowser(this);
    text_->setObjectName("HelpText");
    text_->setOpenExternalLinks(true);
    text_->setMarkdown(user_guide_markdown());
    layout->addWidget(text_, 1);
    add_find_row(
        this, layout, [this](const QString& t) { return text_->find(t); },
        [this] { text_->moveCursor(QTextCursor::Start); });
    resize(820, 640);
    center_form(this);
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace qv
