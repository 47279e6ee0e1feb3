#include <gtest/gtest.h>

#include "dialogs/advanced/factor_dialog.h"
#include "list_fixture.h"

namespace qv::test {
namespace {

using Factors = ListDialogTest;

// Opening marks the packet changed, but Cancel keeps nothing of the visit, the flag included.
TEST_F(Factors, CancelInEmissionFactorsLeavesTheFilesAndTheFlagAsTheyWere) {
    w.s.sc.emfac_files[0] = "data\\emsfac\\exhthc.emf";
    const auto before = w.s.sc.emfac_files;
    open_form("Emiss");
    EXPECT_EQ(window->windowTitle(), "EmissionFactors");
    EXPECT_EQ(text("df_emfac0"), "data\\emsfac\\exhthc.emf");
    type("df_emfac1", "typed.emf");
    click("CmdLeave0");
    EXPECT_FALSE(is_open());
    EXPECT_EQ(w.s.sc.emfac_files, before);
    EXPECT_FALSE(w.s.sc.emfac_changed);
}

// Entries kept from a file read earlier are shown, but only a box changed in this visit gives
// a file without the packet one.
TEST_F(Factors, DeteriorationOkAppendsThePacketOnlyForAChangedBox) {
    w.s.sc.deteriorate_files[9] = file("model/data/detfac/HOSE.DET");
    const std::string tank = file("model/data/detfac/TANK.DET");
    open_form("Deterior");
    click("CmdLeave1");
    EXPECT_FALSE(w.s.sc.deteriorate_set);
    open_form("Deterior");
    type("df_emfac8", QString::fromStdString(tank));
    click("CmdLeave1");
    EXPECT_TRUE(w.s.sc.deteriorate_set);
}

TEST_F(Factors, MenuEntriesPickIntoTheirBox) {
    const std::string thc = file("model/data/emsfac/EXHTHC.EMF");
    open_form("Emiss");
    w.ui.choose(thc);
    trigger("mnuDF0");
    w.ui.cancel_chooser();
    trigger("mnuDF14");
    const auto& calls = w.ui.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "Select a THC exhaust file");
    EXPECT_EQ(calls[0].request.filter, "Emissions (*.EMF)|*.EMF|All files (*.*)|*.*");
    EXPECT_EQ(calls[0].request.initial_dir, w.s.settings.data_dir + "/emsfac");
    EXPECT_EQ(calls[1].text, "Select a RuningLoss file");
    EXPECT_EQ(text("df_emfac0"), thc);
    EXPECT_EQ(text("df_emfac14"), "");
}

TEST_F(Factors, OnlyTheFirstMissingFileIsReported) {
    open_form("Emiss");
    type("df_emfac9", "late.emf");
    type("df_emfac2", "first.emf");
    click("CmdLeave1");
    EXPECT_TRUE(is_open());
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"first.emf does not exist"});

    // Enter in a box acts as OK.
    file("model/nox.emf");
    type("df_emfac2", "nox.emf");
    type("df_emfac9", "");
    QTest::keyClick(box("df_emfac9"), Qt::Key_Return);
    EXPECT_FALSE(is_open());
    EXPECT_EQ(w.s.sc.emfac_files[2], "nox.emf");
    EXPECT_EQ(w.s.sc.emfac_files[9], "");
}

TEST_F(Factors, HiddenDeteriorationBoxIsStored) {
    const std::string bsfc = file("model/data/detfac/BSFC.DET");
    open_form("Deterior");
    EXPECT_EQ(window->windowTitle(), "Deterioration Factors");
    for (int i = 0; i < emission_type_count; ++i)
        EXPECT_EQ(box(QString("df_emfac%1").arg(i).toUtf8())->isVisible(), i < 4 || i > 6) << i;
    w.ui.choose(bsfc);
    trigger("mnuDF4");
    EXPECT_EQ(w.ui.calls().back().text, "Select a BSFC file");
    EXPECT_EQ(w.ui.calls().back().request.initial_dir, w.s.settings.data_dir + "/detfac");
    click("CmdLeave1");
    EXPECT_EQ(w.s.sc.deteriorate_files[4], bsfc);
    EXPECT_FALSE(w.s.sc.emfac_changed);
}

TEST_F(Factors, CloseBoxFollowsTheLastCancel) {
    open_form("Deterior");
    escape();
    open_form("Deterior");
    type("df_emfac0", "dropped.det");
    close_box();
    EXPECT_EQ(w.s.sc.deteriorate_files[0], "");
}

}  // namespace
}  // namespace qv::test
