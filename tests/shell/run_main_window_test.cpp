#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "demo_run.h"
#include "fake_processes.h"
#include "shell/qv_gui.h"
#include "shell/run_and_viewers.h"
#include "shell/text_viewer_window.h"
#include "shell/viewers.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::DemoRun;

// Through the main window: Model, Run, and the summary shows the files the run wrote.
TEST_F(DemoRun, FromTheModelMenuTheSummaryShowsBothFilesAndViewMsg) {
    QVGui gui(s, services);
    read_options_file(s);
    gui.show();
    auto* view_msg = gui.findChild<QPushButton*>("View_Msg");
    auto* summary = gui.findChild<QLabel*>("VerLbl");
    ASSERT_TRUE(view_msg && summary);
    EXPECT_FALSE(view_msg->isVisible());
    EXPECT_FALSE(summary->text().contains("bytes"));

    connect_run_and_viewers(gui, s, services);
    auto* run = gui.findChild<QAction*>("MnuRun");
    ASSERT_NE(run, nullptr);
    run->trigger();

    const QStringList lines = summary->text().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].startsWith("Current Message File     : demo.msg"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("Current Output Data File : demo.out"))
        << lines[2].toStdString();
    for (int i : {1, 2})
        EXPECT_TRUE(lines[i].contains(" bytes ")) << lines[i].toStdString();
    EXPECT_TRUE(view_msg->isVisible());
    EXPECT_TRUE(view_msg->isEnabled());
    gui.hide();
}

// The main window's requests reach the run and the viewers.
TEST(RunAndViewersWiring, MenuItemsButtonAndF12) {
    const fs::path start_dir = fs::current_path();
    test::Workspace w;
    w.write("model/run1.opt", "x");
    w.write("model/run1.msg", "x");
    w.write("model/reports/reports.mdb", "");
    w.set_current("model/run1.opt");
    w.s.sc.message_dir = w.program("model");
    w.s.sc.message_file_name = "run1.msg";
    w.s.settings.access_exe = w.program("tool");
    w.s.settings.model_exe = "model";
    test::FakeProcesses p;
    const OpensslHasher hasher;
    PosixModelLauncher launcher;
    const ShellServices services{hasher, launcher, p};
    QVGui gui(w.s, services);
    connect_run_and_viewers(gui, w.s, services);
    gui.show();
    emit gui.viewMessageRequested();
    QTest::keyClick(&gui, Qt::Key_F12);
    gui.findChild<QAction*>("MnuAcc")->trigger();
    // The two files open in qv-gui's own viewers; only the reporting tool is started outside.
    std::vector<std::string> viewed;
    for (auto* v : gui.findChildren<TextViewerWindow*>()) {
        viewed.push_back(v->path().toStdString());
        EXPECT_TRUE(v->isVisible());
    }
    EXPECT_EQ(viewed, (std::vector<std::string>{w.fs.host_path(w.program("model/run1.msg")),
                                                w.fs.host_path(w.program("model/run1.opt"))}));
    ASSERT_EQ(p.starts.size(), 1u);
    EXPECT_EQ(p.starts[0].program, w.fs.host_path(w.program("tool")));
    // The system viewer, asked for from a viewer, is the desktop's opener.
    emit gui.systemViewerRequested(QString::fromStdString(viewed[0]));
    ASSERT_EQ(p.starts.size(), 2u);
    EXPECT_EQ(p.starts[1].program, text_viewer_program);
    EXPECT_EQ(p.starts[1].args, std::vector<std::string>{viewed[0]});

    // Run goes to the model run (here the model cannot start).
    gui.findChild<QAction*>("MnuRun")->trigger();
    ASSERT_FALSE(w.ui.messages().empty());
    EXPECT_EQ(w.ui.messages().back().rfind("Problem starting Core Model\n\n", 0), 0u);
    gui.hide();
    fs::current_path(start_dir);
}

}  // namespace
}  // namespace qv
