#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>

#include "advanced_fixture.h"

namespace qv::test {
namespace {

using AdvancedScreenshots = AdvancedDialogTest;

// Pictures for the README: runs only when QV_SCREENSHOT_DIR names a directory to write to.
TEST_F(AdvancedScreenshots, SavedWhenAsked) {
    const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "QV_SCREENSHOT_DIR is not set";
    QDir().mkpath(dir);
    Scenario& sc = w.s.sc;
    sc.run_files[rf::activity] = "DATA\\ACTIVITY\\ACTIVITY.DAT";
    sc.run_files[rf::exh_technology] = "DATA\\TECH\\TECH-EXH.DAT";
    sc.run_files[rf::evp_technology] = "DATA\\TECH\\TECH-EVP.DAT";
    sc.run_files[rf::kpz2_rdl] = "OUTPUTS\\DEMO.KPZ";
    sc.bmy_output_on = true;
    const std::pair<const char*, const char*> shots[] = {
        {"frmActiv", "activity.png"},
        {"frmTech", "phase-in.png"},
        {"frmoptout", "optional-output.png"},
    };
    for (const auto& [form, file] : shots) {
        open(form);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(window->grab().save(dir + "/" + file)) << file;
    }
}

}  // namespace
}  // namespace qv::test
