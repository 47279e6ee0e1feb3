#include "dialogs/advanced/list_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <functional>

#include "dialogs/advanced/list_rules.h"
#include "dialogs/advanced/pick_file.h"
#include "platform/qt/program_ending.h"
#include "platform/qt/qt_ui.h"

namespace qv {

namespace {

// A list that tells the moves the user makes with the keys apart from the current row it takes
// by itself when it receives the focus, which is no choice of the user's.
class KeyboardList : public QListWidget {
  public:
    using QListWidget::QListWidget;
    std::function<void()> moved_by_key;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int before = currentRow();
        QListWidget::keyPressEvent(event);
        if (currentRow() != before && currentRow() >= 0 && moved_by_key)
            moved_by_key();
    }
};

QPushButton* button(const char* caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

FileListWindow::FileListWindow(Session& s, const ListWindowLayout& layout, bool& cancelled,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), s_(s), cancelled_(cancelled) {
    setObjectName(layout.form);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(layout.caption));

    auto* outer = new QVBoxLayout(this);
    top_ = new QVBoxLayout;
    outer->addLayout(top_);

    QWidget* holder = this;
    QVBoxLayout* body = outer;
    if (layout.frame_caption) {
        auto* frame = new QGroupBox(QString::fromUtf8(layout.frame_caption), this);
        frame->setObjectName("Frame1");
        body = new QVBoxLayout(frame);
        outer->addWidget(frame, 1);
        holder = frame;
    }

    auto* list = new KeyboardList(holder);
    list_ = list;
    list_->setObjectName(layout.list);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setMinimumSize(460, 160);
    auto* side = new QVBoxLayout;
    auto* add = button(layout.add_caption, layout.add, holder);
    auto* del = button("Delete", layout.del, holder);
    side->addWidget(add);
    side->addWidget(del);
    side->addStretch(1);
    auto* list_row = new QHBoxLayout;
    list_row->addWidget(list_, 1);
    list_row->addLayout(side);
    body->addLayout(list_row, 1);

    if (layout.edit_label) {
        edit_label_ = new QLabel(QString::fromUtf8(layout.edit_label), holder);
        edit_label_->setObjectName(layout.edit_label_name);
        body->addWidget(edit_label_);
    }
    edit_ = new QLineEdit(holder);
    edit_->setObjectName(layout.edit);
    auto* replace_button = button("Replace", layout.replace, holder);
    auto* edit_row = new QHBoxLayout;
    edit_row->addWidget(edit_, 1);
    edit_row->addWidget(replace_button);
    body->addLayout(edit_row);

    auto* ok_button = button("OK", layout.ok, this);
    auto* cancel_button = button("Cancel", layout.cancel, this);
    auto* leave = new QHBoxLayout;
    leave->addStretch(1);
    leave->addWidget(ok_button);
    leave->addWidget(cancel_button);
    outer->addLayout(leave);

    connect(add, &QPushButton::clicked, this, [this] { add_file(); });
    connect(del, &QPushButton::clicked, this, [this] { delete_selected(); });
    connect(replace_button, &QPushButton::clicked, this, [this] { replace(); });
    connect(list_, &QListWidget::itemClicked, this, [this] { entry_clicked(); });
    // Moving through the list with the keyboard chooses the entry as a click does, so that
    // Replace never acts on another entry than the one the box shows.
    list->moved_by_key = [this] { entry_clicked(); };
    connect(ok_button, &QPushButton::clicked, this, &FileListWindow::ok);
    connect(cancel_button, &QPushButton::clicked, this, &FileListWindow::cancel);
}

void FileListWindow::fill(const std::vector<std::string>& entries) {
    list_->clear();
    for (const std::string& e : entries)
        list_->addItem(program_item(e));
}

std::vector<std::string> FileListWindow::entries() const {
    std::vector<std::string> texts;
    for (int i = 0; i < list_->count(); ++i)
        texts.push_back(program_text(list_->item(i)));
    return texts;
}

std::vector<int> FileListWindow::selected_rows() const {
    std::vector<int> rows;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->isSelected())
            rows.push_back(i);
    return rows;
}

std::string FileListWindow::edit_text() const {
    return program_text(edit_);
}

void FileListWindow::delete_selected() {
    const std::vector<int> rows = selected_rows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        delete list_->takeItem(*it);
}

void FileListWindow::append_picked(const ChooserRequest& request, bool check_83) {
    std::optional<std::string> path = pick_file(s_, request, check_83);
    if (path && accept_added_file(s_, *path))
        list_->addItem(program_item(*path));
}

void FileListWindow::ok() {
    if (!ok_step())
        return;
    cancelled_ = false;
    close();
}

void FileListWindow::cancel() {
    cancelled_ = true;
    cancel_step();
    close();
}

void FileListWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        cancel();
    else
        QWidget::keyPressEvent(event);
}

void FileListWindow::closeEvent(QCloseEvent* event) {
    if (!program_ending())
        closing_step();
    event->accept();
}

}  // namespace qv
