#include <gtest/gtest.h>

#include <QLabel>

#include "list_fixture.h"

namespace qv::test {
namespace {

class Growth : public ListDialogTest {
  protected:
    void add(const std::string& path) {
        w.ui.choose(path);
        click("CmdAdd");
    }
};

TEST_F(Growth, OkOnThreeEntriesGivesFourSlots) {
    open_form("frmgrow");
    EXPECT_TRUE(rows("lstGrow").empty());  // no growth list was ever read
    const std::vector<std::string> paths = {file("model/data/growth/a.grw"),
                                            file("model/data/growth/b.grw"),
                                            file("model/data/growth/c.grw")};
    for (const std::string& p : paths)
        add(p);
    const ChooserRequest& r = w.ui.calls().back().request;
    EXPECT_EQ(r.title, "Select Growth file");
    EXPECT_EQ(r.filter, "Growth Files (*.grw)|*.grw|All files (*.*)|*.*");
    EXPECT_EQ(r.initial_dir, w.s.settings.data_dir + "/growth");
    add(w.program("model/data/growth/gone.grw"));
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{w.program("model/data/growth/gone.grw") +
                                                        " does not exist."});
    click("CmdLeave1");
    EXPECT_FALSE(is_open());
    EXPECT_EQ(w.s.sc.growth_files, (std::vector<std::string>{paths[0], paths[1], paths[2], ""}));
    EXPECT_TRUE(w.s.sc.growth_changed);

    // Reopened: the spare slot is not shown.
    open_form("frmgrow");
    EXPECT_EQ(rows("lstGrow"), paths);
}

TEST_F(Growth, ReplaceTheClickedEntryThenHideTheBox) {
    w.s.sc.growth_files = {file("g/a.grw"), file("g/b.grw"), file("g/c.grw"), ""};
    const std::string fresh = file("g/new.grw");
    open_form("frmgrow");
    click("Replace");  // empty box: nothing
    click_row("lstGrow", 1);
    EXPECT_EQ(text("txtgrow"), w.s.sc.growth_files[1]);
    EXPECT_EQ(w.s.list_dialogs.growth_sel_index, 1);
    type("txtgrow", QString::fromStdString(fresh));
    click("Replace");
    EXPECT_EQ(rows("lstGrow")[1], fresh);
    EXPECT_FALSE(box("txtgrow")->isVisible());
    EXPECT_FALSE(window->findChild<QLabel*>("current_label")->isVisible());
    click_row("lstGrow", 2);
    EXPECT_TRUE(box("txtgrow")->isVisible());
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(Growth, DeleteAndCancelLeaveTheScenarioAlone) {
    const std::vector<std::string> before = {file("g/a.grw"), file("g/b.grw"), file("g/c.grw"), ""};
    w.s.sc.growth_files = before;
    open_form("frmgrow");
    click_row("lstGrow", 0);
    click_row("lstGrow", 2, Qt::ControlModifier);
    click("CmdDel");
    EXPECT_EQ(rows("lstGrow"), std::vector<std::string>{before[1]});
    add(file("g/d.grw"));
    click("CmdLeave0");
    EXPECT_EQ(w.s.sc.growth_files, before);
    EXPECT_FALSE(w.s.sc.growth_changed);
}

class Equip : public ListDialogTest {
  protected:
    Equip() {
        for (const char* n : {"a.pop", "b.pop", "c.pop"}) {
            const std::string p = file(std::string("model/data/pop/") + n);
            paths.push_back(p);
            w.s.sc.pop_files.add(std::make_shared<AllocCls>(AllocCls{"Census pop.:", p}), p);
        }
        w.s.sc.pop_files_work.copy_from(w.s.sc.pop_files);
    }
    void add(const std::string& path) {
        w.ui.choose(path);
        click("CmdAdd");
    }
    std::vector<std::string> paths;
};

TEST_F(Equip, UnchangedOkRelabelsEveryEntry) {
    open_form("frmEquip");
    EXPECT_EQ(rows("lstEquip"), paths);
    click("CmdLeave1");
    std::vector<std::string> expected;
    for (const auto& p : paths)
        expected.push_back("Population file    :|" + p);
    EXPECT_EQ(files(w.s.sc.pop_files), expected);
    EXPECT_EQ(files(w.s.sc.pop_files_work), expected);
    EXPECT_TRUE(w.s.sc.pop_files_changed);
}

TEST_F(Equip, ReplaceShowsTheWorkingListAgain) {
    const std::string added = file("model/data/pop/d.pop");
    const std::string fresh = file("model/data/pop/e.pop");
    open_form("frmEquip");
    add(added);
    const ChooserRequest& r = w.ui.calls().back().request;
    EXPECT_EQ(r.title, "Select Allocation file");
    EXPECT_EQ(r.filter, "Equip Files (*.pop)|*.pop|All files (*.*)|*.*");
    EXPECT_EQ(r.initial_dir, w.s.settings.data_dir + "/pop");
    EXPECT_EQ(rows("lstEquip").size(), 4u);
    click_row("lstEquip", 0);
    EXPECT_EQ(text("SelEdit"), paths[0]);
    type("SelEdit", QString::fromStdString(fresh));
    click("Replace");
    EXPECT_EQ(rows("lstEquip"), (std::vector<std::string>{fresh, paths[1], paths[2]}));
    EXPECT_EQ(w.s.sc.pop_files_work[0]->descriptor, "Census pop.:");
    EXPECT_FALSE(w.s.sc.pop_files_changed);

    click_row("lstEquip", 1);
    type("SelEdit", "gone.pop");
    click("Replace");
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"gone.pop does not exist"});
}

TEST_F(Equip, RepeatedPathIsKeptOnceAndCancelRestoresTheWorkingList) {
    open_form("frmEquip");
    add(paths[1]);
    click("CmdLeave1");
    EXPECT_EQ(w.s.sc.pop_files.size(), 3u);

    const auto before = files(w.s.sc.pop_files);
    open_form("frmEquip");
    add(file("model/data/pop/d.pop"));
    click_row("lstEquip", 0);
    type("SelEdit", QString::fromStdString(file("model/data/pop/e.pop")));
    click("Replace");
    escape();
    EXPECT_FALSE(is_open());
    EXPECT_EQ(files(w.s.sc.pop_files), before);
    EXPECT_EQ(files(w.s.sc.pop_files_work), before);

    // The close box after that Cancel drops this visit too.
    open_form("frmEquip");
    click_row("lstEquip", 0);
    click("CmdDel");
    close_box();
    EXPECT_EQ(files(w.s.sc.pop_files), before);
}

}  // namespace
}  // namespace qv::test
