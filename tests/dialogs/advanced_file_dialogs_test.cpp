#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>

#include "advanced_fixture.h"

namespace qv::test {
namespace {

using FileDialogs = AdvancedDialogTest;

// The four one-box dialogs that test their box on OK and reset it when the file is missing.
struct OneBox {
    const char* form;
    const char* box;
    int entry;
    const char* empty_stores;
};
const OneBox one_box[] = {
    {"frmActiv", "txtActivity", rf::activity, "data\\activity\\ACTIVITY.DAT"},
    {"frmUSCountiesFIPS", "txtUSCountiesFIPS", rf::us_counties_fips, ""},
    {"frmDaily", "txtDaily", rf::daily_temps, ""},
    {"frmRetrofit", "txtRetrofit", rf::retrofit, ""},
};

TEST_F(FileDialogs, OpeningFillsEveryBoxFromTheScenario) {
    for (int i = 0; i < run_file_count; ++i)
        w.s.sc.run_files[i] = "Entry" + std::to_string(i);
    struct Case {
        const char* form;
        const char* caption;
        std::vector<std::pair<const char*, std::string>> boxes;
    } cases[] = {
        {"frmActiv", "Activity", {{"txtActivity", "Entry1"}}},
        {"frmUSCountiesFIPS", "U.S. Counties FIPS", {{"txtUSCountiesFIPS", "Entry10"}}},
        {"frmDaily", "Daily Temp/RVP", {{"txtDaily", "Entry14"}}},
        {"frmRetrofit", "Retrofit", {{"txtRetrofit", "Entry11"}}},
        {"frmTech", "Phase In", {{"txtExhaustTech", "Entry2"}, {"txtEvaporativeTech", "Entry3"}}},
        {"frmtemporal", "Temporal Allocation", {{"txtSeason", "Entry4"}, {"txtRegion", "Entry5"}}},
        {"frmoptout",
         "Optional Output",
         {{"txtkpz", "Entry8"}, {"txtlnv", "Entry9"}, {"txtbmy", "Textbmy"}}},
    };
    for (const auto& c : cases) {
        open(c.form);
        EXPECT_EQ(window->objectName().toStdString(), c.form);
        EXPECT_EQ(window->windowTitle().toStdString(), c.caption);
        for (const auto& [name, value] : c.boxes)
            EXPECT_EQ(text(name), value) << c.form;
        window->close();
    }
}

TEST_F(FileDialogs, CaptionsOfLabelsAndButtons) {
    struct Case {
        const char* form;
        std::vector<std::pair<const char*, const char*>> captions;
    } cases[] = {
        {"frmActiv",
         {{"changeCommand", "Change..."}, {"CmdLeave0", "Cancel"}, {"CmdLeave1", "OK"}}},
        {"frmDaily",
         {{"lbldaily",
           "Optional file containing 365 daily temperatures and fuel RVP inputs by state. This "
           "overrides the single values in Options."}}},
        {"frmTech",
         {{"lblExhaustTech", "Exhaust Tech File"},
          {"lblEvaporativeTech", "Evaporative Tech File"},
          {"changeExhaustCommand", "Change..."},
          {"changeEvaporativeCommand", "Change..."}}},
        {"frmtemporal",
         {{"lblseason", "Seasonal File"},
          {"lblRegion", "Region File"},
          {"cmdChange0", "<<Change"},
          {"cmdChange1", "<<Change"}}},
        {"frmoptout",
         {{"lblkpz", "KPZ File"},
          {"lbllnv", "LNV File"},
          {"lblbmy", "By-Model-Year Output Files"},
          {"cmdChange0", "<<Change"},
          {"chkbmy",
           " Generate .BMX (exhaust) && BMV (evap) files in same folder as .OUT file.    NOTE: "
           "These can be very large files."}}},
    };
    for (const auto& c : cases) {
        open(c.form);
        for (const auto& [name, caption] : c.captions) {
            QWidget* widget = window->findChild<QWidget*>(name);
            ASSERT_TRUE(widget) << name;
            QString shown = widget->property("text").toString();
            EXPECT_EQ(shown.toStdString(), caption) << c.form << " " << name;
        }
        window->close();
    }
}

TEST_F(FileDialogs, OptionalOutputShowsOnlyTheKpzRowTheCheckBoxAndTheButtons) {
    for (bool on : {false, true}) {
        w.s.sc.bmy_output_on = on;
        open("frmoptout");
        for (const char* name : {"txtlnv", "lbllnv", "cmdChange1", "txtbmy", "cmdChange2"}) {
            auto* widget = window->findChild<QWidget*>(name);
            ASSERT_TRUE(widget) << name;
            EXPECT_FALSE(widget->isVisible()) << name;
            EXPECT_FALSE(widget->isEnabled()) << name;
        }
        for (const char* name :
             {"txtkpz", "lblkpz", "cmdChange0", "chkbmy", "CmdLeave0", "CmdLeave1"})
            EXPECT_TRUE(window->findChild<QWidget*>(name)->isVisible()) << name;
        EXPECT_EQ(window->findChild<QCheckBox*>("chkbmy")->isChecked(), on);
    }
}

TEST_F(FileDialogs, ChooserOfEveryChangeButton) {
    const std::string data = w.s.settings.data_dir;
    struct Case {
        const char* form;
        const char* button;
        const char* title;
        const char* filter;
        std::string dir;
    } cases[] = {
        {"frmActiv", "changeCommand", "Select Activity file",
         "ACTIVITY (*.DAT)|*.DAT|All files (*.*)|*.*", data + "/ACTIVITY"},
        {"frmUSCountiesFIPS", "changeCommand", "Select U.S. Counties FIPS file",
         "County FIPS (*.DAT)|*.DAT|All files (*.*)|*.*", data + "/ALLOCATE"},
        {"frmDaily", "changeCommand", "Select Daily Temp/RVP file",
         "DAYTMPRV (*.DAT)|*.DAT|All files (*.*)|*.*", data + "/DAILY"},
        {"frmRetrofit", "changeCommand", "Select Retrofit file",
         "RETROFIT (*.DAT)|*.DAT|All files (*.*)|*.*", data + "/RETROFIT"},
        {"frmTech", "changeExhaustCommand", "Select Phase in file",
         "TECH (*.DAT)|*.DAT|All files (*.*)|*.*", data + "/TECH"},
        {"frmTech", "changeEvaporativeCommand", "Select Phase in file",
         "TECH (*.DAT)|*.DAT|All files (*.*)|*.*", data + "/TECH"},
        {"frmtemporal", "cmdChange0", "Select Seasonal Allocation file",
         "Season (*.dat)|*.dat|All files (*.*)|*.*", data + "/SEASON"},
        {"frmtemporal", "cmdChange1", "Select Seasonal Allocation file",
         "Season (*.dat)|*.dat|All files (*.*)|*.*", data + "/SEASON"},
        {"frmoptout", "cmdChange0", "Select Output file", "KPZ (*.kpz)|*.kpz|All files (*.*)|*.*",
         w.s.sc.output_dir},
    };
    for (const auto& c : cases) {
        open(c.form);
        w.ui.clear();
        w.ui.cancel_chooser();
        click(c.button);
        ASSERT_EQ(w.ui.calls().size(), 1u) << c.form;
        const ChooserRequest& r = w.ui.calls()[0].request;
        EXPECT_EQ(r.title, c.title);
        EXPECT_EQ(r.filter, c.filter);
        EXPECT_EQ(r.filter_index, 1);
        EXPECT_EQ(r.initial_dir, c.dir);
        EXPECT_EQ(r.initial_name, "");
        EXPECT_TRUE(is_open());
        window->close();
    }
}

TEST_F(FileDialogs, PickFillsTheBoxOnlyAndTheChooserOffersItAgain) {
    w.s.sc.run_files[rf::exh_technology] = "OLD.DAT";
    open("frmTech");
    w.ui.choose("c:\\data\\tech\\New.dat");
    click("changeExhaustCommand");
    EXPECT_EQ(text("txtExhaustTech"), "c:\\data\\tech\\New.dat");
    EXPECT_EQ(w.s.sc.run_files[rf::exh_technology], "OLD.DAT");

    // One chooser serves both boxes and remembers the last choice.
    w.ui.cancel_chooser();
    click("changeEvaporativeCommand");
    EXPECT_EQ(w.ui.calls().back().request.initial_name, "c:\\data\\tech\\New.dat");

    // The output chooser forgets its choice after every pick.
    open("frmoptout");
    w.ui.choose("c:\\out\\run.kpz");
    click("cmdChange0");
    EXPECT_EQ(text("txtkpz"), "c:\\out\\run.kpz");
    w.ui.cancel_chooser();
    click("cmdChange0");
    EXPECT_EQ(w.ui.calls().back().request.initial_name, "");
    EXPECT_EQ(text("txtkpz"), "c:\\out\\run.kpz");
}

TEST_F(FileDialogs, TooLongNameIsRefusedExceptInRetrofit) {
    for (const auto& c : one_box) {
        open(c.form);
        w.ui.clear();
        const bool rule = std::string(c.form) != "frmRetrofit";
        w.ui.choose("c:\\d\\ABCDEFGHI.DAT");
        if (rule)
            w.ui.choose("c:\\d\\ABCDEFGH.DATA");
        click("changeCommand");
        EXPECT_TRUE(w.ui.all_answers_used()) << c.form;
        if (rule) {
            ASSERT_EQ(w.ui.messages().size(), 1u) << c.form;
            EXPECT_EQ(w.ui.messages()[0],
                      "ABCDEFGHI\nFilename too long: Must be 8 characters max before period");
            EXPECT_EQ(text(c.box), "c:\\d\\ABCDEFGH.DATA");
        } else {
            EXPECT_EQ(text(c.box), "c:\\d\\ABCDEFGHI.DAT");
            w.ui.choose("c:\\d\\ABCDEFGH.DATA");
            click("changeCommand");
            EXPECT_EQ(text(c.box), "c:\\d\\ABCDEFGH.DATA");
            EXPECT_TRUE(w.ui.messages().empty());
        }
    }
}

TEST_F(FileDialogs, NameWithoutPeriodChangesNothing) {
    w.s.sc.run_files[rf::activity] = "A.DAT";
    open("frmActiv");
    w.ui.choose("c:\\d\\NOPERIOD");
    click("changeCommand");
    EXPECT_EQ(text("txtActivity"), "A.DAT");
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(FileDialogs, OkOnAnEmptyBox) {
    for (const auto& c : one_box) {
        w.s.sc.run_files[c.entry] = "before.dat";
        open(c.form);
        box(c.box)->clear();
        click("CmdLeave1");
        EXPECT_FALSE(is_open()) << c.form;
        EXPECT_EQ(w.s.sc.run_files[c.entry], c.empty_stores) << c.form;
    }
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(FileDialogs, OkStoresAnExistingFileAsTyped) {
    touch("model/Data/Present.Dat");
    for (const auto& c : one_box) {
        open(c.form);
        type(c.box, "Data\\Present.Dat");
        click("CmdLeave1");
        EXPECT_FALSE(is_open()) << c.form;
        EXPECT_EQ(w.s.sc.run_files[c.entry], "Data\\Present.Dat") << c.form;
    }
}

TEST_F(FileDialogs, MissingFileIsReportedAndTheBoxReset) {
    for (const auto& c : one_box) {
        w.s.sc.run_files[c.entry] = "STORED.DAT";
        open(c.form);
        w.ui.clear();
        type(c.box, "nowhere\\gone.dat");
        click("CmdLeave1");
        EXPECT_TRUE(is_open()) << c.form;
        ASSERT_EQ(w.ui.calls().size(), 1u);
        const UiCall& box_shown = w.ui.calls()[0];
        EXPECT_EQ(box_shown.text, "nowhere\\gone.dat does not exist");
        EXPECT_EQ(box_shown.title, std::nullopt);
        EXPECT_EQ(box_shown.icon, Icon::None);
        EXPECT_EQ(text(c.box), "STORED.DAT");
        EXPECT_EQ(w.s.sc.run_files[c.entry], "STORED.DAT");
    }
}

TEST_F(FileDialogs, PhaseInReportsOnlyTheExhaustFileWhenBothAreMissing) {
    touch("model/tech/exh.dat");
    w.s.sc.run_files[rf::exh_technology] = "EXH0.DAT";
    w.s.sc.run_files[rf::evp_technology] = "EVP0.DAT";
    open("frmTech");
    type("txtExhaustTech", "gone-exh.dat");
    type("txtEvaporativeTech", "gone-evp.dat");
    click("CmdLeave1");
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"gone-exh.dat does not exist"});
    EXPECT_EQ(text("txtExhaustTech"), "EXH0.DAT");
    EXPECT_EQ(text("txtEvaporativeTech"), "gone-evp.dat");

    w.ui.clear();
    type("txtExhaustTech", "tech\\exh.dat");
    click("CmdLeave1");
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"gone-evp.dat does not exist"});
    EXPECT_EQ(text("txtEvaporativeTech"), "EVP0.DAT");
    EXPECT_TRUE(is_open());
    EXPECT_EQ(w.s.sc.run_files[rf::exh_technology], "EXH0.DAT");

    type("txtEvaporativeTech", "tech\\*.dat");
    click("CmdLeave1");
    EXPECT_FALSE(is_open());
    EXPECT_EQ(w.s.sc.run_files[rf::exh_technology], "tech\\exh.dat");
    EXPECT_EQ(w.s.sc.run_files[rf::evp_technology], "tech\\*.dat");
}

TEST_F(FileDialogs, TemporalAllocationReportsOnlyTheSeasonFileAndKeepsTheBoxes) {
    w.s.sc.run_files[rf::seasonality] = "S0.DAT";
    w.s.sc.run_files[rf::regions] = "R0.DAT";
    open("frmtemporal");
    type("txtSeason", "gone-s.dat");
    type("txtRegion", "gone-r.dat");
    click("CmdLeave1");
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"gone-s.dat does not exist"});
    EXPECT_EQ(text("txtSeason"), "gone-s.dat");
    EXPECT_EQ(text("txtRegion"), "gone-r.dat");
    EXPECT_TRUE(is_open());
    EXPECT_EQ(w.s.sc.run_files[rf::seasonality], "S0.DAT");

    touch("model/s.dat");
    w.ui.clear();
    type("txtSeason", "s.dat");
    click("CmdLeave1");
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"gone-r.dat does not exist"});
    EXPECT_EQ(text("txtRegion"), "gone-r.dat");

    w.ui.clear();
    box("txtRegion")->clear();
    click("CmdLeave1");
    EXPECT_FALSE(is_open());
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_EQ(w.s.sc.run_files[rf::seasonality], "s.dat");
    EXPECT_EQ(w.s.sc.run_files[rf::regions], "");
}

TEST_F(FileDialogs, TemporalAllocationCloseBoxStoresWithoutTheTestAndWarnsAfterAPick) {
    open("frmtemporal");
    w.ui.choose("c:\\season\\picked.dat");
    click("cmdChange1");
    type("txtSeason", "gone.dat");
    window->close();
    EXPECT_FALSE(is_open());
    EXPECT_EQ(w.s.sc.run_files[rf::seasonality], "gone.dat");
    EXPECT_EQ(w.s.sc.run_files[rf::regions], "c:\\season\\picked.dat");
    ASSERT_EQ(w.ui.calls().size(), 2u);
    const UiCall& warning = w.ui.calls()[1];
    EXPECT_EQ(warning.text, "Calling Region will negate any changes");
    EXPECT_EQ(warning.icon, Icon::Exclamation);
    EXPECT_EQ(warning.title, "US KQT QUARVEL MODEL");

    // Without a pick the close stores silently.
    open("frmtemporal");
    w.ui.clear();
    type("txtRegion", "typed.dat");
    window->close();
    EXPECT_EQ(w.s.sc.run_files[rf::regions], "typed.dat");
    EXPECT_TRUE(w.ui.calls().empty());
}

TEST_F(FileDialogs, CancelAndEscStoreNothingInAnyDialog) {
    struct Case {
        const char* form;
        const char* box;
        int entry;
    } cases[] = {
        {"frmActiv", "txtActivity", rf::activity},
        {"frmUSCountiesFIPS", "txtUSCountiesFIPS", rf::us_counties_fips},
        {"frmDaily", "txtDaily", rf::daily_temps},
        {"frmRetrofit", "txtRetrofit", rf::retrofit},
        {"frmTech", "txtEvaporativeTech", rf::evp_technology},
        {"frmtemporal", "txtSeason", rf::seasonality},
        {"frmoptout", "txtkpz", rf::kpz2_rdl},
    };
    w.s.sc.bmy_output_on = true;
    w.s.sc.run_files[rf::exhaust_bmy] = "A.BMX";
    for (const auto& c : cases) {
        for (int how = 0; how < 3; ++how) {
            w.s.sc.run_files[c.entry] = "KEPT.DAT";
            open(c.form);
            if (auto* chk = window->findChild<QCheckBox*>("chkbmy"))
                chk->setChecked(false);
            if (std::string(c.form) == "frmtemporal") {
                w.ui.choose("c:\\s\\picked.dat");
                click("cmdChange0");
            }
            type(c.box, "edited.dat");
            if (how == 0)
                click("CmdLeave0");
            if (how == 1)
                QTest::keyClick(box(c.box), Qt::Key_Escape);
            if (how == 2)
                QTest::keyClick(window, Qt::Key_Escape);
            EXPECT_FALSE(is_open()) << c.form << " " << how;
            EXPECT_EQ(w.s.sc.run_files[c.entry], "KEPT.DAT") << c.form << " " << how;
        }
    }
    EXPECT_TRUE(w.s.sc.bmy_output_on);
    EXPECT_EQ(w.s.sc.run_files[rf::exhaust_bmy], "A.BMX");
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(FileDialogs, CloseBoxOfTheTestingDialogsActsAsCancel) {
    for (const auto& c : one_box) {
        w.s.sc.run_files[c.entry] = "KEPT.DAT";
        open(c.form);
        type(c.box, "");
        window->close();
        EXPECT_EQ(w.s.sc.run_files[c.entry], "KEPT.DAT") << c.form;
    }
}

TEST_F(FileDialogs, OptionalOutputStoresOnOkAndCloseBoxWithoutAnyTest) {
    Scenario& sc = w.s.sc;
    for (bool by_ok : {true, false}) {
        sc.bmy_output_on = true;
        sc.run_files[rf::exhaust_bmy] = "RUN.BMX";
        sc.run_files[rf::evap_bmy] = "RUN.BMV";
        sc.run_files[rf::lnv] = "HIDDEN.LNV";
        open("frmoptout");
        type("txtkpz", "nowhere\\run.kpz");
        QTest::mouseClick(window->findChild<QCheckBox*>("chkbmy"), Qt::LeftButton);
        if (by_ok)
            click("CmdLeave1");
        else
            window->close();
        EXPECT_FALSE(is_open());
        EXPECT_EQ(sc.run_files[rf::kpz2_rdl], "nowhere\\run.kpz");
        EXPECT_EQ(sc.run_files[rf::lnv], "HIDDEN.LNV");
        EXPECT_FALSE(sc.bmy_output_on);
        EXPECT_EQ(sc.run_files[rf::exhaust_bmy], "");
        EXPECT_EQ(sc.run_files[rf::evap_bmy], "");
    }
    open("frmoptout");
    QTest::mouseClick(window->findChild<QCheckBox*>("chkbmy"), Qt::LeftButton);
    click("CmdLeave1");
    EXPECT_TRUE(sc.bmy_output_on);
    EXPECT_TRUE(w.ui.messages().empty());
}

}  // namespace
}  // namespace qv::test
