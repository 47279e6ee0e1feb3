#include <gtest/gtest.h>

#include <QPixmap>

#include "dialogs/scenario/region_dialog.h"
#include "dialogs/scenario/sources_dialog.h"
#include "region_sources_fixture.h"

namespace qv::test {
namespace {

class RegionSourcesScreenshots : public DemoDbTest {
  protected:
    void save(const char* name) {
        QApplication::processEvents();
        const QString path = qEnvironmentVariable("QV_SCREENSHOT_DIR") + "/" + name + ".png";
        EXPECT_TRUE(window->grab().save(path)) << path.toStdString();
    }
};

// Writes the windows on the demo workspace as PNG files when QV_SCREENSHOT_DIR names a folder.
TEST_F(RegionSourcesScreenshots, SavesBothWindows) {
    if (qEnvironmentVariableIsEmpty("QV_SCREENSHOT_DIR"))
        GTEST_SKIP() << "QV_SCREENSHOT_DIR not set";
    open<RegionDialog>();
    click("optreg_2");
    auto* states = child<QListWidget>("States");
    states->setCurrentItem(states->findItems("Nevada", Qt::MatchExactly).value(0));
    auto* counties = child<QListWidget>("Counties");
    counties->setCurrentRow(1);
    click("AddSel");
    save("region");

    open<SourcesDialog>();
    click("segment_11");
    click("FUEL_2");
    click("Addsel_0");
    save("sources");
}

}  // namespace
}  // namespace qv::test
