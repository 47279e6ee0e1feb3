#include <gtest/gtest.h>

#include <QDir>

#include "shell/desk.h"

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
}

}  // namespace
}  // namespace qv
