#pragma once

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <string>

#include "dialogs/advanced/file_dialog.h"
#include "support/workspace.h"

namespace qv::test {

// A workspace with a data tree (model/data/ACTIVITY, ...) for the advanced dialogs; the
// current directory is the workspace root, which is also app_dir.
class AdvancedDialogTest : public ::testing::Test {
  protected:
    AdvancedDialogTest() : previous_dir_(std::filesystem::current_path()) {
        w.s.settings.data_dir = w.program("model/data");
        w.s.sc.output_dir = w.program("model/outputs");
        w.fs.set_current_dir(w.s.settings.app_dir);
    }
    ~AdvancedDialogTest() override {
        delete window;
        std::filesystem::current_path(previous_dir_);
    }

    // Writes an empty file below the workspace root.
    void touch(const std::string& relative) { w.write(relative, ""); }

    // Opens a dialog by form name, as the menu does.
    QWidget* open(const std::string& form) {
        delete window;
        window = create_file_dialog(form, w.s, nullptr);
        EXPECT_TRUE(window) << form;
        if (window)
            window->show();
        return window;
    }
    QLineEdit* box(const char* name) const {
        auto* b = window->findChild<QLineEdit*>(name);
        EXPECT_TRUE(b) << name;
        return b;
    }
    std::string text(const char* name) const { return box(name)->text().toStdString(); }
    void type(const char* name, const QString& text) {
        QLineEdit* b = box(name);
        b->clear();
        QTest::keyClicks(b, text);
    }
    void click(const char* name) {
        auto* b = window->findChild<QAbstractButton*>(name);
        ASSERT_TRUE(b) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // Whether the window is still open (a closed one is hidden and deleted later).
    bool is_open() const { return window && window->isVisible(); }

    Workspace w;
    QPointer<QWidget> window;

  private:
    std::filesystem::path previous_dir_;
};

}  // namespace qv::test
