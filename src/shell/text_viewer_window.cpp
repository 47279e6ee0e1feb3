#include "shell/text_viewer_window.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "shell/find_row.h"
#include "shell/viewers.h"

namespace qv {

namespace {
// How often the file is looked at for growth while the window is open.
constexpr int follow_interval_ms = 500;
}  // namespace

bool system_viewer_available() {
    return !QStandardPaths::findExecutable(text_viewer_program).isEmpty();
}

TextViewerWindow::TextViewerWindow(const QString& host_path, std::function<void()> open_outside,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), path_(host_path) {
    setObjectName("TextViewer");
    setAttribute(Qt::WA_DeleteOnClose);
    const QFileInfo info(host_path);
    setWindowTitle(info.fileName() + " - Viewer");
    setToolTip(host_path);

    auto* layout = new QVBoxLayout(this);
    auto* where = new QLabel(this);
    where->setObjectName("ViewerPath");
    where->setTextFormat(Qt::PlainText);
    where->setToolTip(host_path);
    where->setText(elided_path(where, host_path, 640));
    layout->addWidget(where);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName("ViewerText");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(text_, 1);

    add_find_row(
        this, layout, [this](const QString& t) { return text_->find(t); },
        [this] { text_->moveCursor(QTextCursor::Start); });

    auto* buttons = new QHBoxLayout;
    state_ = new QLabel(this);
    state_->setObjectName("ViewerState");
    buttons->addWidget(state_, 1);
    if (open_outside) {
        auto* outside = new QPushButton("Open with system viewer", this);
        outside->setObjectName("ViewerOutside");
        connect(outside, &QPushButton::clicked, this, [open_outside] { open_outside(); });
        buttons->addWidget(outside);
    }
    auto* reload_button = new QPushButton("&Reload", this);
    reload_button->setObjectName("ViewerReload");
    connect(reload_button, &QPushButton::clicked, this, &TextViewerWindow::reload);
    buttons->addWidget(reload_button);
    auto* close_button = new QPushButton("Close", this);
    close_button->setObjectName("ViewerClose");
    connect(close_button, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close_button);
    layout->addLayout(buttons);

    reload();
    timer_ = new QTimer(this);
    timer_->setInterval(follow_interval_ms);
    connect(timer_, &QTimer::timeout, this, &TextViewerWindow::follow);
    timer_->start();
    resize(760, 520);
}

void TextViewerWindow::reload() {
    const QFileInfo info(path_);
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        size_ = -1;
        text_->clear();
        state_->setText(info.exists() ? "The file cannot be read."
                                      : "The file does not exist (yet).");
        return;
    }
    const QByteArray bytes = file.readAll();
    size_ = info.size();
    modified_ = info.lastModified();
    const QString now = display_text(bytes.toStdString());
    QScrollBar* bar = text_->verticalScrollBar();
    const bool at_end = bar->value() == bar->maximum();
    const QString before = text_->toPlainText();
    if (!before.isEmpty() && now.startsWith(before)) {
        // The file grew: only the new part is added, so the place and the selection stay.
        QTextCursor end(text_->document());
        end.movePosition(QTextCursor::End);
        end.insertText(now.mid(before.size()));
    } else if (now != before) {
        const int at = bar->value();
        text_->setPlainText(now);
        bar->setValue(at);
    }
    if (at_end)
        bar->setValue(bar->maximum());
    state_->setText(QString("%1 bytes, %2")
                        .arg(size_)
                        .arg(QLocale::system().toString(modified_, QLocale::ShortFormat)));
}

void TextViewerWindow::follow() {
    const QFileInfo info(path_);
    const qint64 size = info.exists() ? info.size() : -1;
    if (size != size_ || (size >= 0 && info.lastModified() != modified_))
        reload();
}

void TextViewerWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

TextViewerWindow* TextViewerWindow::open(QWidget* owner, const QString& host_path,
                                         std::function<void()> open_outside) {
    for (auto* viewer : owner->findChildren<TextViewerWindow*>(Qt::FindDirectChildrenOnly)) {
        if (viewer->path() == host_path) {
            viewer->reload();
            show_to_front(viewer);
            return viewer;
        }
    }
    auto* viewer = new TextViewerWindow(host_path, std::move(open_outside), owner);
    fit_to_screen(viewer);
    center_on(viewer, owner);
    show_to_front(viewer);
    return viewer;
}

}  // namespace qv
