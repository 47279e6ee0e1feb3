#pragma once

#include <QAction>
#include <QListWidget>
#include <vector>

#include "advanced_fixture.h"
#include "shell/window_factory.h"

namespace qv::test {

// The list dialogs of the advanced menu, opened by form name as the menu opens them.
class ListDialogTest : public AdvancedDialogTest {
  protected:
    QWidget* open_form(const char* form) {
        delete window;
        window = create_window(form, w.s, nullptr);
        EXPECT_TRUE(window) << form;
        if (window)
            window->show();
        return window;
    }
    // Writes an empty file and returns its full program path.
    std::string file(const std::string& relative) {
        touch(relative);
        return w.program(relative);
    }
    QListWidget* list(const char* name) const {
        auto* l = window->findChild<QListWidget*>(name);
        EXPECT_TRUE(l) << name;
        return l;
    }
    std::vector<std::string> rows(const char* name) const {
        std::vector<std::string> texts;
        QListWidget* l = list(name);
        for (int i = 0; i < l->count(); ++i)
            texts.push_back(l->item(i)->text().toStdString());
        return texts;
    }
    // Clicks a row; with Ctrl it joins the selection.
    void click_row(const char* name, int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QListWidget* l = list(name);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, mods,
                          l->visualItemRect(l->item(row)).center());
    }
    void trigger(const char* action) {
        auto* a = window->findChild<QAction*>(action);
        ASSERT_TRUE(a) << action;
        a->trigger();
    }
    void escape() { QTest::keyClick(window, Qt::Key_Escape); }
    // The window's own close box.
    void close_box() { window->close(); }
    std::vector<std::string> files(const AllocList& l) const {
        std::vector<std::string> texts;
        for (const auto& item : l)
            texts.push_back(item->descriptor + "|" + item->allocfile);
        return texts;
    }
};

}  // namespace qv::test
