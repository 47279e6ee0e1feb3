#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "dialogs/scenario/sources_dialog.h"
#include "dialogs/scenario/sources_rules.h"
#include "region_sources_fixture.h"

namespace qv::test {
namespace {

class SourcesDialogTest : public DemoDbTest {
  protected:
    void choose(int seg, int fuel) {
        click(("segment_" + std::to_string(seg)).c_str());
        click(("FUEL_" + std::to_string(fuel)).c_str());
    }
    std::vector<std::string> codes() const {
        std::vector<std::string> r;
        for (const auto& e : listed_sources(s.sc))
            r.push_back(e.scc);
        return r;
    }
    void mark(const char* list, int row) { child<QListWidget>(list)->item(row)->setSelected(true); }
};

const QStringList demo_codes = {"2270002000", "2265004010", "2282010005"};

TEST_F(SourcesDialogTest, OpeningShowsTheListInThreeLines) {
    open<SourcesDialog>();
    EXPECT_EQ(window->windowTitle(), "Sources");
    EXPECT_EQ(lines("lstcodes"), demo_codes);
    ASSERT_EQ(lines("Selected").size(), 3);
    EXPECT_EQ(lines("CodeDesc")[0], "2270002000 " + lines("Selected")[0]);
    EXPECT_TRUE(child<QRadioButton>("srcact_0")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("segment_13")->isHidden());
    EXPECT_TRUE(child<QRadioButton>("FUEL_3")->isHidden());
    EXPECT_TRUE(child<QRadioButton>("FUEL_4")->isHidden());
    EXPECT_TRUE(s.sc.source_found);

    // Nothing chosen since opening, although the no-choice options are checked.
    click("Addsel_0");
    click("segment_2");
    EXPECT_EQ(child<QLineEdit>("seg")->text(), "02000");
    click("Addsel_1");
    EXPECT_EQ(ui.messages(),
              (std::vector<std::string>{"No Equipment selected", "No Fuel Selected"}));

    // F12 hides and shows the code list.
    QTest::keyClick(child<QListWidget>("Selected"), Qt::Key_F12);
    EXPECT_TRUE(child<QListWidget>("lstcodes")->isHidden());
    QTest::keyClick(child<QListWidget>("Selected"), Qt::Key_F12);
    EXPECT_FALSE(child<QListWidget>("lstcodes")->isHidden());
}

TEST_F(SourcesDialogTest, AddTwiceAddsNothingTheSecondTime) {
    open<SourcesDialog>();
    choose(0, 0);
    click("Addsel_1");
    const int after_first = lines("lstcodes").size();
    EXPECT_EQ(after_first, 320);  // the three demo codes are among those found
    click("Addsel_1");
    EXPECT_EQ(lines("lstcodes").size(), after_first);
    EXPECT_EQ(lines("Selected").size(), after_first);
    EXPECT_EQ(lines("CodeDesc").size(), after_first);
    EXPECT_FALSE(lines("lstcodes").contains("2282020000"));
    EXPECT_EQ(codes().size(), static_cast<std::size_t>(after_first));
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SourcesDialogTest, RemoveTakesLinesMarkedInAnyListOnlyWithACurrentLine) {
    open<SourcesDialog>();
    choose(12, 1);
    click("Addsel_1");
    ASSERT_EQ(codes().size(), 7u);
    mark("lstcodes", 0);
    mark("CodeDesc", 4);
    // No current line in Selected: nothing happens.
    click("RemSel");
    EXPECT_EQ(codes().size(), 7u);

    child<QListWidget>("Selected")->setCurrentRow(6, QItemSelectionModel::Select);
    QTest::keyClick(child<QListWidget>("Selected"), Qt::Key_Delete);
    EXPECT_EQ(codes(),
              (std::vector<std::string>{"2265004010", "2282010005", "2282020005", "2282020025"}));
    EXPECT_EQ(lines("lstcodes"),
              (QStringList{"2265004010", "2282010005", "2282020005", "2282020025"}));
    EXPECT_EQ(lines("Selected").size(), 4);
    EXPECT_TRUE(lines("CodeDesc")[3].startsWith("2282020025 "));
    EXPECT_TRUE(s.sc.source_list.back().scc.empty());
}

TEST_F(SourcesDialogTest, CancelAndEscRestoreTheListExactly) {
    const std::vector<SourceRecord> before = s.sc.source_list;
    for (int way = 0; way < 2; ++way) {
        open<SourcesDialog>();
        choose(11, 2);
        click("Addsel_0");
        child<QListWidget>("Selected")->setCurrentRow(0);
        click("RemSel");
        click("srcact_1");
        EXPECT_FALSE(s.sc.source_subset);
        if (way == 0)
            click("Command2");
        else
            QTest::keyClick(child<QListWidget>("Selected"), Qt::Key_Escape);
        EXPECT_FALSE(is_open());
        ASSERT_EQ(s.sc.source_list.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(s.sc.source_list[i].scc, before[i].scc);
            EXPECT_EQ(s.sc.source_list[i].description, before[i].description);
        }
        EXPECT_TRUE(s.sc.source_subset);
    }
}

TEST_F(SourcesDialogTest, AllSourcesDisablesTheChoiceAndSavesNoPacket) {
    open<SourcesDialog>();
    click("srcact_1");
    EXPECT_FALSE(s.sc.source_subset);
    EXPECT_FALSE(s.sc.source_found);
    for (const char* name : {"Selected", "lstcodes", "CodeDesc", "Addsel_0", "Addsel_1"})
        EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(child<QWidget>("RemSel")->isEnabled());

    // Back to selected sources: the no-choice options are checked, and an add finds nothing.
    click("srcact_0");
    EXPECT_TRUE(child<QWidget>("Addsel_0")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>("segment_13")->isChecked());
    ui.clear();
    click("Addsel_0");
    ASSERT_EQ(ui.calls().size(), 1u);
    EXPECT_EQ(ui.calls()[0].kind, "beep");

    click("srcact_1");
    window->close();  // the frame's close box keeps the choice
    EXPECT_FALSE(s.sc.source_subset);
    ASSERT_TRUE(update_default_option_file(s));
    const std::string after = dir.read("model/demo.opt");
    EXPECT_EQ(after.find("/SOURCE CATEGORY/"), std::string::npos);
    EXPECT_NE(after.find("/ALLOC FILES/\r\nAllocation File    : data\\allocate\\ca_pop.alo\r\n"),
              std::string::npos);
}

// A list kept while all sources are chosen is shown (disabled), so that going back to selected
// sources writes no code the user could not see or remove.
TEST_F(SourcesDialogTest, AllSourcesModeStillShowsTheKeptList) {
    s.sc.source_subset = false;
    open<SourcesDialog>();
    EXPECT_TRUE(child<QRadioButton>("srcact_1")->isChecked());
    EXPECT_EQ(lines("lstcodes"), demo_codes);
    EXPECT_FALSE(child<QWidget>("lstcodes")->isEnabled());
    click("srcact_0");
    EXPECT_EQ(lines("lstcodes"), demo_codes);
    child<QListWidget>("Selected")->setCurrentRow(1);
    click("RemSel");
    EXPECT_EQ(codes(), (std::vector<std::string>{"2270002000", "2282010005"}));
}

TEST_F(SourcesDialogTest, SaveWritesThirtyCharacterLines) {
    open<SourcesDialog>();
    choose(11, 1);
    click("Addsel_0");
    child<QListWidget>("Selected")->setCurrentRow(0);
    click("RemSel");
    click("Command1");
    ASSERT_TRUE(update_default_option_file(s));
    const std::string after = dir.read("model/demo.opt");
    EXPECT_NE(after.find(crlf({"/SOURCE CATEGORY/", "                   :2265004010",
                               "                   :2282010005", "                   :2285002015",
                               "/END/"})),
              std::string::npos)
        << after;
    EXPECT_NE(
        after.find("* Lines outside packets, like these, are kept when the scenario is saved.\r\n"),
        std::string::npos);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(SourcesDialogTest, TheThreeListsScrollTogether) {
    std::vector<SourceRecord> many;
    for (int i = 0; i < 80; ++i)
        many.push_back({std::to_string(2270000000 + i), "Equipment " + std::to_string(i)});
    set_listed_sources(s.sc, many);
    open<SourcesDialog>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    auto top_row = [this](const char* list) {
        auto* l = child<QListWidget>(list);
        return l->row(l->itemAt(2, 2));
    };
    for (const char* scrolled : {"Selected", "lstcodes", "CodeDesc"}) {
        child<QListWidget>(scrolled)->scrollToItem(child<QListWidget>(scrolled)->item(40),
                                                   QAbstractItemView::PositionAtTop);
        EXPECT_EQ(top_row("Selected"), 40) << scrolled;
        EXPECT_EQ(top_row("lstcodes"), 40) << scrolled;
        EXPECT_EQ(top_row("CodeDesc"), 40) << scrolled;
    }
    // The shorter combined list scrolls to its end without pulling the others back.
    auto* combined = child<QListWidget>("CodeDesc");
    combined->scrollToBottom();
    EXPECT_EQ(combined->row(combined->itemAt(2, combined->viewport()->height() - 3)), 79);
    EXPECT_EQ(top_row("Selected"), top_row("lstcodes"));
}

}  // namespace
}  // namespace qv::test
