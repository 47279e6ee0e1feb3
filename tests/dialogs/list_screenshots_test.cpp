#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>

#include "list_fixture.h"

namespace qv::test {
namespace {

using ListScreenshots = ListDialogTest;

// Pictures for the README: runs only when QV_SCREENSHOT_DIR names a directory to write to.
TEST_F(ListScreenshots, SavedWhenAsked) {
    const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "QV_SCREENSHOT_DIR is not set";
    QDir().mkpath(dir);
    Scenario& sc = w.s.sc;
    sc.run_files[rf::alloc_xref] = "data\\allocate\\allocate.xrf";
    for (const char* f : {"data\\allocate\\ca_pop.alo", "data\\allocate\\ca_house.alo",
                          "data\\allocate\\ca_const.alo"})
        sc.alloc_files_work.add(std::make_shared<AllocCls>(AllocCls{"L:", f}), f);
    sc.growth_files = {"data\\growth\\nation.grw", ""};
    sc.pop_files.add(std::make_shared<AllocCls>(AllocCls{"L:", "data\\pop\\ca.pop"}),
                     "data\\pop\\ca.pop");
    sc.emfac_files = {"data\\emsfac\\exhthc.emf", "data\\emsfac\\exhco.emf",
                      "data\\emsfac\\exhnox.emf", "data\\emsfac\\exhpm.emf",
                      "data\\emsfac\\bsfc.emf"};
    sc.deteriorate_files = {"data\\detfac\\dethc.det", "data\\detfac\\detco.det",
                            "data\\detfac\\detnox.det", "data\\detfac\\detpm.det"};
    const std::pair<const char*, const char*> shots[] = {
        {"geoalloc", "geoalloc.png"},
        {"frmgrow", "growth.png"},
        {"frmEquip", "equip-population.png"},
        {"Emiss", "emission-factors.png"},
        {"Deterior", "deterioration-factors.png"},
    };
    for (const auto& [form, file] : shots) {
        open_form(form);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(window->grab().save(dir + "/" + file)) << file;
    }
}

}  // namespace
}  // namespace qv::test
