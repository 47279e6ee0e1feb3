#include <gtest/gtest.h>

#include <QDir>
#include <QMenu>

#include "shell/desk.h"
#include "shell/recent_files.h"

namespace qv {
namespace {

// Pictures of the main window for the documentation, taken only when QV_SCREENSHOT_DIR is set.
TEST(Screenshots, MainWindowOnTheDemoWorkspace) {
    const QString out = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "QV_SCREENSHOT_DIR not set";
    test::Desk d;
    d.ini();
    // As after a run: the summary shows both files and the message-file button.
    d.dir.write("model/outputs/demo.msg", std::string(1834, 'm'));
    d.dir.write("model/outputs/demo.out", std::string(52617, 'o'));
    ASSERT_EQ(d.start(), std::nullopt);
    QDir().mkpath(out);
    EXPECT_TRUE(d.gui.grab().save(out + "/main-window.png"));

    // The File menu with recent files (one of them gone), the File Status window and the
    // viewer of the message file.
    const QString model = QString::fromStdString((d.dir.path() / "model").string());
    write_recent_files(d.settings_file(), {model + "/demo.opt", model + "/states/NV2030.opt",
                                           model + "/states/CA2025.opt", model + "/old/gone.opt"});
    d.dir.write("model/states/NV2030.opt", "");
    d.dir.write("model/states/CA2025.opt", "");
    auto* files = d.gui.findChild<QMenu*>("MenuFiles");
    files->popup(d.gui.mapToGlobal(QPoint(0, 0)));
    EXPECT_TRUE(files->grab().save(out + "/file-menu.png"));
    files->hide();
    EXPECT_TRUE(d.gui.open_form("Current")->grab().save(out + "/current.png"));
    d.dir.write("model/outputs/demo.msg",
                "Model run of demo.opt\n\nTitle 1 : DEMO SCENARIO\nEpisode year : 2020\n"
                "Region : 2 states\n\nWarning: no retrofit file named\n\nSuccessful "
                "completion\n");
    QWidget* viewer = d.gui.open_viewer(model + "/outputs/demo.msg");
    viewer->resize(720, 360);
    EXPECT_TRUE(viewer->grab().save(out + "/viewer.png"));
}

}  // namespace
}  // namespace qv
