#pragma once

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QListWidget>
#include <QPointer>
#include <QRadioButton>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/fs/host_file_system.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/state_table.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/workspace.h"

namespace qv::test {

// A copy of the demo workspace (model directory, data tree, reference database) with a session
// that queries the real reference engine; data_dir is model\data, and the demo options file is
// read as the current scenario.
class DemoDbTest : public ::testing::Test {
  protected:
    DemoDbTest() {
        copy_demo_model(dir.path() / "model");
        prepare_session(s);
        s.settings.app_dir = program("");
        s.settings.model_dir = program("model");
        s.settings.data_dir = program("model/data");
        s.view = &view;
        read_demo_scenario(s);
        ui.clear();
    }
    ~DemoDbTest() override { delete window; }

    std::string program(const std::string& relative) const {
        return fs.program_path((dir.path() / relative).lexically_normal().string());
    }
    void touch(const std::string& relative) { dir.write(relative, ""); }
    void remove_file(const std::string& relative) {
        std::filesystem::remove(dir.path() / relative);
    }

    template <typename W>
    W* open() {
        delete window;
        auto* w = new W(s);
        window = w;
        w->show();
        return w;
    }
    template <typename T = QWidget>
    T* child(const char* name) const {
        auto* c = window->findChild<T*>(name);
        EXPECT_TRUE(c) << name;
        return c;
    }
    void click(const char* name) {
        auto* b = child<QAbstractButton>(name);
        ASSERT_TRUE(b);
        // An option reacts on its indicator and caption only, whatever the width of its cell.
        const QPoint at = qobject_cast<QRadioButton*>(b) ? QPoint(b->height() / 2, b->height() / 2)
                                                         : b->rect().center();
        QTest::mouseClick(b, Qt::LeftButton, {}, at);
    }
    QStringList lines(const char* list) const {
        QStringList r;
        auto* l = child<QListWidget>(list);
        for (int i = 0; l && i < l->count(); ++i)
            r << l->item(i)->text();
        return r;
    }
    bool is_open() const { return window && window->isVisible(); }

    TempDir dir;
    HostFileSystem fs;
    ScriptedUi ui;
    std::unique_ptr<ReferenceEngine> ref = make_reference_engine();
    RecordingView view;
    Session s{ui, fs, *ref};
    QPointer<QWidget> window;
};

}  // namespace qv::test
