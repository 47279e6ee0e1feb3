#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>

#include "dialogs/scenario/region_dialog.h"
#include "region_sources_fixture.h"
#include "scenario/text.h"

namespace qv::test {
namespace {

class RegionDialogTest : public DemoDbTest {
  protected:
    RegionDialog* open_region() { return open<RegionDialog>(); }
    std::vector<std::string> region_codes() const {
        std::vector<std::string> r;
        for (const auto& e : s.sc.region_list)
            r.push_back(e->code);
        return r;
    }
    std::vector<std::string> file_names(const AllocList& list) const {
        std::vector<std::string> r;
        for (const auto& e : list)
            r.push_back(lower(split_file_name(e->allocfile)));
        return r;
    }
    void level(int i) { click(("optreg_" + std::to_string(i)).c_str()); }
    void choose_state(const char* name) {
        auto* states = child<QListWidget>("States");
        auto found = states->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        states->setCurrentItem(found[0]);
    }
    void choose_county(const char* name) {
        auto* counties = child<QListWidget>("Counties");
        auto found = counties->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        counties->setCurrentItem(found[0]);
    }
    void mark(const char* line) {
        auto found = child<QListWidget>("Regselect")->findItems(line, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << line;
        found[0]->setSelected(true);
    }
    void key(int k) { QTest::keyClick(child<QListWidget>("Regselect"), Qt::Key(k)); }
};

TEST_F(RegionDialogTest, OpeningRebuildsTheWorkingFileListsAndOkCommits) {
    auto extra = std::make_shared<AllocCls>(AllocCls{"Golf course estab. :", "c:\\x\\ca_golf.alo"});
    s.sc.alloc_files.add(extra, extra->allocfile);
    s.sc.region_changed = false;
    open_region();
    EXPECT_EQ(window->windowTitle(), "Region");
    EXPECT_TRUE(s.sc.region_changed);
    EXPECT_EQ(file_names(s.sc.alloc_files_work),
              (std::vector<std::string>{"ca_pop.alo", "nv_pop.alo", "or_pop.alo"}));
    EXPECT_EQ(s.sc.alloc_files_work[0]->descriptor, "Census population  :");
    EXPECT_EQ(s.sc.alloc_files_work[0]->allocfile, s.settings.data_dir + "/ALLOCATE/ca_pop.alo");
    EXPECT_EQ(file_names(s.sc.pop_files_work),
              (std::vector<std::string>{"ca.pop", "nv.pop", "or.pop"}));
    EXPECT_EQ(s.sc.alloc_files.size(), 4u);  // nothing committed before OK
    EXPECT_EQ(lines("Regselect"), (QStringList{"California", "Nevada", "Oregon"}));
    EXPECT_EQ(lines("States").size(), 53);
    EXPECT_TRUE(child<QRadioButton>("optreg_1")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("optreg_4")->isHidden());
    EXPECT_TRUE(child<QPushButton>("AddSel")->isEnabled());

    touch("model/data/ALLOCATE/wa_pop.alo");
    touch("model/data/POP/wa.pop");
    choose_state("Washington");
    click("AddSel");
    EXPECT_EQ(lines("Regselect"), (QStringList{"California", "Nevada", "Oregon", "Washington"}));
    click("Command1");
    EXPECT_FALSE(is_open());
    EXPECT_EQ(region_codes(), (std::vector<std::string>{"06000", "32000", "41000", "53000"}));
    EXPECT_EQ(s.sc.region_level, level::state);
    EXPECT_EQ(file_names(s.sc.alloc_files),
              (std::vector<std::string>{"ca_pop.alo", "nv_pop.alo", "or_pop.alo", "wa_pop.alo"}));
    EXPECT_EQ(file_names(s.sc.pop_files),
              (std::vector<std::string>{"ca.pop", "nv.pop", "or.pop", "wa.pop"}));
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(RegionDialogTest, CountyLevelAddsCountiesAndBackToStateDropsThem) {
    open_region();
    level(2);
    EXPECT_EQ(lines("Regselect"),
              (QStringList{"All of California", "All of Nevada", "All of Oregon"}));
    choose_state("Texas");
    EXPECT_EQ(lines("Counties").size(), 254);
    EXPECT_FALSE(lines("Counties").join("|").contains("The State"));

    // A double click adds the county under the pointer.
    auto* counties = child<QListWidget>("Counties");
    counties->scrollToTop();
    const QPoint first = counties->visualItemRect(counties->item(0)).center();
    QTest::mouseClick(counties->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(counties->viewport(), Qt::LeftButton, {}, first);
    const QString first_line = counties->item(0)->text() + " TX";
    EXPECT_EQ(lines("Regselect").last(), first_line);

    choose_state("Nevada");
    choose_county("Clark County");
    click("AddSel");
    click("AddSel");
    EXPECT_EQ(ui.messages(), (std::vector<std::string>{"Clark County NV already selected"}));
    EXPECT_EQ(lines("Regselect").size(), 5);

    level(1);
    EXPECT_EQ(lines("Regselect"), (QStringList{"California", "Nevada", "Oregon"}));
    EXPECT_TRUE(lines("Counties").isEmpty());
    // The Counties list clicked last has lost its lines: there is nothing to add.
    click("AddSel");
    EXPECT_EQ(ui.messages().back(), "No State/County selected");
    EXPECT_EQ(lines("Regselect").size(), 3);
}

TEST_F(RegionDialogTest, NationalLevelsEmptyOrHideTheSelection) {
    touch("model/data/ALLOCATE/us_pop.alo");
    open_region();
    level(2);
    choose_state("California");
    choose_county("Alameda County");
    click("AddSel");
    level(3);
    EXPECT_FALSE(child<QPushButton>("AddSel")->isEnabled());
    EXPECT_EQ(lines("Regselect"), (QStringList{"Alameda County CA"}));
    // Double clicks add nothing where there is no Add button.
    auto* states = child<QListWidget>("States");
    QTest::mouseDClick(states->viewport(), Qt::LeftButton, {},
                       states->visualItemRect(states->item(0)).center());
    EXPECT_EQ(s.sc.selected_regions.size(), 4u);

    // Delete removes the entry of the marked line, not the one at its position.
    mark("Alameda County CA");
    key(Qt::Key_Delete);
    EXPECT_TRUE(lines("Regselect").isEmpty());
    EXPECT_EQ(s.sc.selected_regions.size(), 3u);
    EXPECT_FALSE(s.sc.selected_regions.contains("06001"));

    level(0);
    EXPECT_TRUE(s.sc.selected_regions.empty());
    click("Command1");
    EXPECT_TRUE(s.sc.region_list.empty());
    EXPECT_EQ(s.sc.region_level, level::fifty_state);
    EXPECT_EQ(file_names(s.sc.alloc_files), (std::vector<std::string>{"us_pop.alo"}));
    EXPECT_TRUE(s.sc.pop_files.empty());
}

TEST_F(RegionDialogTest, BackspaceAndDelButtonRemoveMarkedLines) {
    open_region();
    mark("Nevada");
    key(Qt::Key_Backspace);
    EXPECT_EQ(lines("Regselect"), (QStringList{"California", "Oregon"}));
    mark("California");
    mark("Oregon");
    click("Delsel");
    EXPECT_TRUE(lines("Regselect").isEmpty());
    EXPECT_TRUE(s.sc.selected_regions.empty());
}

// Cancel and Esc keep nothing of the visit: the region, the file lists (with a file the user
// added in Geographic Allocation) and every changed flag stay as they were.
TEST_F(RegionDialogTest, CancelAndEscLeaveTheRegionTheFileListsAndTheirFlags) {
    touch("model/data/ALLOCATE/tx_pop.alo");
    auto custom = std::make_shared<AllocCls>(AllocCls{"Allocation File    :", "c:\\x\\custom.alo"});
    s.sc.alloc_files.add(custom, custom->allocfile);
    s.sc.alloc_files_work.copy_from(s.sc.alloc_files);
    s.sc.pop_files_work.copy_from(s.sc.pop_files);
    const auto alloc = file_names(s.sc.alloc_files), pop = file_names(s.sc.pop_files);
    for (bool esc : {false, true}) {
        for (bool changed_before : {false, true}) {
            s.sc.region_changed = s.sc.alloc_files_changed = s.sc.pop_files_changed =
                changed_before;
            open_region();
            choose_state("Texas");
            click("AddSel");
            level(2);
            if (esc)
                QTest::keyClick(child<QListWidget>("States"), Qt::Key_Escape);
            else
                click("Command2");
            EXPECT_FALSE(is_open());
            EXPECT_EQ(region_codes(), (std::vector<std::string>{"06000", "32000", "41000"}));
            EXPECT_EQ(s.sc.region_level, level::state);
            for (const AllocList* l : {&s.sc.alloc_files, &s.sc.alloc_files_work})
                EXPECT_EQ(file_names(*l), alloc) << esc;
            for (const AllocList* l : {&s.sc.pop_files, &s.sc.pop_files_work})
                EXPECT_EQ(file_names(*l), pop) << esc;
            EXPECT_EQ(s.sc.region_changed, changed_before);
            EXPECT_EQ(s.sc.alloc_files_changed, changed_before);
            EXPECT_EQ(s.sc.pop_files_changed, changed_before);
        }
    }
}

TEST_F(RegionDialogTest, SaveWritesTheRegionPacketAndKeepsTheRest) {
    const std::string before = dir.read("model/demo.opt");
    open_region();
    level(2);
    choose_state("California");
    choose_county("San Bernardino County");
    click("AddSel");
    choose_state("Nevada");
    choose_county("Clark County");
    click("AddSel");
    mark("All of Nevada");
    mark("All of Oregon");
    click("Delsel");
    click("Command1");
    ASSERT_TRUE(update_default_option_file(s));
    const std::string after = dir.read("model/demo.opt");
    EXPECT_NE(
        after.find(crlf({"/REGION/", "Region Level       : COUNTY", "All California     : 06000",
                         "San Bernardino C CA: 06071", "Clark County NV    : 32003", "/END/"})),
        std::string::npos)
        << after;
    // Lines outside the changed packets stay as they were.
    for (const char* kept :
         {"* Lines outside packets, like these, are kept when the scenario is saved.\r\n",
          "Title 2            : Three western states, summer weekday\r\n",
          "                   :2282010005\r\n"}) {
        EXPECT_NE(before.find(kept), std::string::npos) << kept;
        EXPECT_NE(after.find(kept), std::string::npos) << kept;
    }
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(RegionDialogTest, TheKeyboardStartsOnTheLevelInForce) {
    for (int lvl : {level::fifty_state, level::state, level::county, level::us_total}) {
        s.sc.region_level = lvl;
        open_region();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        const std::string name = "optreg_" + std::to_string(lvl);
        EXPECT_EQ(QApplication::focusWidget(), child(name.c_str())) << name;
        // A Space there keeps the level and the selection.
        const std::size_t selected = s.sc.selected_regions.size();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_TRUE(child<QRadioButton>(name.c_str())->isChecked());
        EXPECT_EQ(s.sc.selected_regions.size(), selected);
    }
}

}  // namespace
}  // namespace qv::test
