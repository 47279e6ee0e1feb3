#include "shell/find_row.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qv {

void add_find_row(QWidget* window, QBoxLayout* layout,
                  std::function<bool(const QString&)> find_from_cursor,
                  std::function<void()> cursor_to_start) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel("&Find:", window);
    auto* box = new QLineEdit(window);
    box->setObjectName("FindText");
    label->setBuddy(box);
    auto* next = new QPushButton("Find &next", window);
    next->setObjectName("FindNext");
    auto* missing = new QLabel(window);
    missing->setObjectName("FindMissing");
    row->addWidget(label);
    row->addWidget(box, 1);
    row->addWidget(next);
    row->addWidget(missing);
    layout->addLayout(row);

    auto find = [box, missing, find_from_cursor, cursor_to_start] {
        const QString text = box->text();
        if (text.isEmpty())
            return;
        bool found = find_from_cursor(text);
        if (!found) {
            cursor_to_start();
            found = find_from_cursor(text);
        }
        missing->setText(found ? QString() : QString("Not found"));
    };
    QObject::connect(box, &QLineEdit::returnPressed, window, find);
    QObject::connect(next, &QPushButton::clicked, window, find);
    auto* focus = new QAction(window);
    focus->setShortcut(QKeySequence::Find);
    QObject::connect(focus, &QAction::triggered, box, [box] {
        box->setFocus();
        box->selectAll();
    });
    window->addAction(focus);
}

}  // namespace qv
