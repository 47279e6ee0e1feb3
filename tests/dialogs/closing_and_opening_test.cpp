#include <gtest/gtest.h>

#include <QPushButton>
#include <functional>

#include "dialogs/advanced/list_rules.h"
#include "list_fixture.h"
#include "option_file_fixture.h"
#include "platform/qt/program_ending.h"

namespace qv::test {
namespace {

// The program is ending for the length of a scope, as after Fini.
struct ProgramEnding {
    ProgramEnding() { set_program_ending(true); }
    ~ProgramEnding() { set_program_ending(false); }
};

class WindowsOfTheAdvancedMenu : public ListDialogTest {
  protected:
    WindowsOfTheAdvancedMenu() {
        for (const char* name :
             {"model/data/allocate/CA_POP.ALO", "model/data/allocate/NV_POP.ALO"}) {
            const std::string p = file(name);
            w.s.sc.alloc_files.add(std::make_shared<AllocCls>(AllocCls{"Old label:", p}), p);
            w.s.sc.pop_files.add(std::make_shared<AllocCls>(AllocCls{"Old label:", p}), p);
            w.s.sc.growth_files.push_back(p);
        }
        w.s.sc.growth_files.emplace_back();
        w.s.sc.alloc_files_work.copy_from(w.s.sc.alloc_files);
        w.s.sc.pop_files_work.copy_from(w.s.sc.pop_files);
    }
};

TEST_F(WindowsOfTheAdvancedMenu, ClosedBecauseTheProgramEndsTheyNeitherAskNorStore) {
    const std::string season = file("model/data/SEASON/season.dat");
    const struct {
        const char* form;
        std::function<void()> edit;  // what would bring a message or a commit on closing
    } cases[] = {
        {"geoalloc",
         [&] {
             click_row("lstalloc", 0);
             click("cmdAddDel1");
         }},
        {"frmtemporal",
         [&] {
             w.ui.choose(season);
             click("cmdChange0");
         }},
        {"frmgrow",
         [&] {
             click_row("lstGrow", 0);
             click("CmdDel");
         }},
        {"frmEquip",
         [&] {
             click_row("lstEquip", 0);
             click("CmdDel");
         }},
    };
    for (const auto& r : cases) {
        const Scenario before = w.s.sc;
        open_form(r.form);
        r.edit();
        w.ui.clear();
        {
            ProgramEnding ending;
            EXPECT_TRUE(window->close()) << r.form;
        }
        EXPECT_TRUE(w.ui.calls().empty()) << r.form;
        EXPECT_EQ(list_files(w.s.sc.alloc_files), list_files(before.alloc_files)) << r.form;
        EXPECT_EQ(list_files(w.s.sc.pop_files), list_files(before.pop_files)) << r.form;
        EXPECT_EQ(w.s.sc.growth_files, before.growth_files) << r.form;
        EXPECT_EQ(w.s.sc.run_files, before.run_files) << r.form;
    }
}

TEST_F(WindowsOfTheAdvancedMenu, TheEditBoxIsFilledOnlyByAClick) {
    const struct {
        const char* form;
        const char* list;
        const char* edit;
    } cases[] = {
        {"geoalloc", "lstalloc", "SelEdit"},
        {"frmEquip", "lstEquip", "SelEdit"},
        {"frmgrow", "lstGrow", "txtgrow"},
    };
    for (const auto& r : cases) {
        open_form(r.form);
        ASSERT_TRUE(show_active(window)) << r.form;
        // Tabbing into the list puts no entry into the box either.
        list(r.list)->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        EXPECT_EQ(text(r.edit), "") << r.form;
        click_row(r.list, 1);
        EXPECT_EQ(text(r.edit), rows(r.list)[1]) << r.form;
        QTest::keyClick(list(r.list), Qt::Key_Up);
        EXPECT_EQ(text(r.edit), rows(r.list)[0]) << r.form;
    }
}

TEST_F(WindowsOfTheAdvancedMenu, GrowthReplaceKeepsTheButtonsWhereTheyWere) {
    open_form("frmgrow");
    ASSERT_TRUE(show_active(window));
    auto* replace = window->findChild<QPushButton*>("Replace");
    const QRect before = replace->geometry();
    click_row("lstGrow", 0);
    click("Replace");
    ASSERT_FALSE(box("txtgrow")->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(replace->geometry(), before);
}

TEST_F(WindowsOfTheAdvancedMenu, ARememberedNameOfferedAgainIsTheSameFile) {
    // The chooser offers the name chosen last; Enter on it must give that file, not the name
    // joined once more onto the start directory.
    const std::string chosen = file("model/data/ACTIVITY/activity.dat");
    open("frmActiv");
    w.ui.choose(chosen);
    click("changeCommand");
    w.ui.accept_start_name();
    click("changeCommand");
    EXPECT_EQ(w.ui.calls().back().request.initial_name, chosen);
    EXPECT_EQ(text("txtActivity"), chosen);
    click("CmdLeave1");
    EXPECT_EQ(w.s.sc.run_files[rf::activity], chosen);
}

}  // namespace
}  // namespace qv::test
