#include <gtest/gtest.h>

#include <QLabel>

#include "list_fixture.h"

namespace qv::test {
namespace {

class Geoalloc : public ListDialogTest {
  protected:
    Geoalloc() {
        a = file("model/data/allocate/CA_POP.ALO");
        b = file("model/data/allocate/CA_HOUSE.ALO");
        c = file("model/data/allocate/NV_POP.ALO");
        for (const std::string& p : {a, b, c})
            w.s.sc.alloc_files.add(std::make_shared<AllocCls>(AllocCls{"Old label:", p}), p);
        w.s.sc.alloc_files_work.copy_from(w.s.sc.alloc_files);
    }
    void add(const std::string& path) {
        w.ui.choose(path);
        click("cmdAddDel0");
    }
    std::vector<std::string> work() const { return files(w.s.sc.alloc_files_work); }
    std::vector<std::string> committed() const { return files(w.s.sc.alloc_files); }
    std::string a, b, c;
};

const char* const note = "Note: Any new Scenario>Region selection will override Allocation";

TEST_F(Geoalloc, AddTakesTheDescriptorAndOkCommitsWithTheNote) {
    const std::string added = file("model/data/allocate/wy_golf.alo");
    open_form("geoalloc");
    EXPECT_EQ(window->windowTitle(), "Geographic Allocation");
    EXPECT_EQ(rows("lstalloc"), (std::vector<std::string>{a, b, c}));
    add(added);
    const ChooserRequest& r = w.ui.calls().back().request;
    EXPECT_EQ(r.title, "Select Allocation file");
    EXPECT_EQ(r.filter, "ALLOC (*.alo)|*.alo|XREF (*.xrf)|*.xrf|All files (*.*)|*.*");
    EXPECT_EQ(r.filter_index, 1);
    EXPECT_EQ(r.initial_dir, w.s.settings.data_dir + "/ALLOCATE");
    EXPECT_EQ(rows("lstalloc").back(), added);
    EXPECT_EQ(work().back(), "Golf course estab. :|" + added);
    EXPECT_EQ(committed().size(), 3u);

    click("cmdfin0");
    EXPECT_FALSE(is_open());
    EXPECT_EQ(committed(), work());
    EXPECT_TRUE(w.s.sc.alloc_files_changed);
    ASSERT_EQ(w.ui.messages(), std::vector<std::string>{note});
    EXPECT_EQ(w.ui.calls().back().icon, Icon::Exclamation);
    EXPECT_EQ(w.ui.calls().back().title, std::optional<std::string>("US KQT QUARVEL MODEL"));
}

TEST_F(Geoalloc, RefusedAddsChangeNothing) {
    const std::string long_name = file("model/data/allocate/ABCDEF_POP.ALO");
    open_form("geoalloc");
    const auto before = work();
    add(long_name);
    add(w.program("model/data/allocate/ca_pop.alo"));  // present in another case
    add(w.program("model/data/allocate/none.alo"));
    w.ui.cancel_chooser();
    click("cmdAddDel0");
    const auto messages = w.ui.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[0].find(long_name), std::string::npos);
    EXPECT_NE(messages[1].find("ca_pop.alo"), std::string::npos);
    EXPECT_EQ(messages[2], w.program("model/data/allocate/none.alo") + " does not exist.");
    EXPECT_EQ(work(), before);
    EXPECT_EQ(rows("lstalloc").size(), 3u);
}

TEST_F(Geoalloc, CancelAfterAddAndDeleteRestoresTheListAndTheFlag) {
    for (bool flag_before : {false, true}) {
        w.s.sc.alloc_files_changed = flag_before;
        const auto before = committed();
        open_form("geoalloc");
        add(file("model/data/allocate/x_oil.alo"));
        click_row("lstalloc", 0);
        click("cmdAddDel1");
        EXPECT_EQ(rows("lstalloc").size(), 3u);
        click("cmdfin1");
        EXPECT_FALSE(is_open());
        EXPECT_EQ(committed(), before);
        EXPECT_EQ(work(), before);
        EXPECT_EQ(w.s.sc.alloc_files_changed, flag_before);
        EXPECT_TRUE(w.ui.messages().empty());
    }
}

TEST_F(Geoalloc, CancelOrEscKeepsAChangeAcceptedBefore) {
    // An accepted change (OK after a Delete here, or a Region commit, which sets the flag) must
    // still be written by the next save after a later visit is cancelled.
    for (bool escape_key : {false, true}) {
        w.s.sc.alloc_files_changed = false;
        open_form("geoalloc");
        click_row("lstalloc", 0);
        click("cmdAddDel1");
        click("cmdfin0");
        ASSERT_TRUE(w.s.sc.alloc_files_changed);
        const auto accepted = committed();

        open_form("geoalloc");
        if (escape_key)
            escape();
        else
            click("cmdfin1");
        EXPECT_FALSE(is_open());
        EXPECT_TRUE(w.s.sc.alloc_files_changed) << escape_key;
        EXPECT_EQ(committed(), accepted);
        w.s.sc.alloc_files.copy_from(AllocList{});
        for (const std::string& p : {a, b, c})
            w.s.sc.alloc_files.add(std::make_shared<AllocCls>(AllocCls{"Old label:", p}), p);
        w.s.sc.alloc_files_work.copy_from(w.s.sc.alloc_files);
    }
}

TEST_F(Geoalloc, CloseBoxFollowsTheLastCancel) {
    const auto before = committed();
    open_form("geoalloc");
    escape();
    EXPECT_FALSE(is_open());

    open_form("geoalloc");
    click_row("lstalloc", 1);
    click("cmdAddDel1");
    close_box();
    EXPECT_EQ(committed(), before);
    EXPECT_EQ(work(), before);

    // After an OK the close box commits again.
    open_form("geoalloc");
    click("cmdfin0");
    open_form("geoalloc");
    click_row("lstalloc", 1);
    click("cmdAddDel1");
    close_box();
    EXPECT_EQ(committed(), (std::vector<std::string>{before[0], before[2]}));
}

TEST_F(Geoalloc, DeleteRemovesEverySelectedEntry) {
    for (const char* n : {"d_pop.alo", "e_pop.alo"}) {
        const std::string p = file(std::string("model/data/allocate/") + n);
        w.s.sc.alloc_files_work.add(std::make_shared<AllocCls>(AllocCls{"L:", p}), p);
    }
    open_form("geoalloc");
    const auto all = rows("lstalloc");
    click_row("lstalloc", 0);
    click_row("lstalloc", 2, Qt::ControlModifier);
    click_row("lstalloc", 4, Qt::ControlModifier);
    click("cmdAddDel1");
    EXPECT_EQ(rows("lstalloc"), (std::vector<std::string>{all[1], all[3]}));
    EXPECT_EQ(work().size(), 2u);
}

TEST_F(Geoalloc, ReplaceKeepsPlaceAndOldDescriptor) {
    const std::string other = file("model/data/allocate/TX_AIRTR.ALO");
    open_form("geoalloc");
    click_row("lstalloc", 1);
    EXPECT_EQ(text("SelEdit"), b);
    type("SelEdit", QString::fromStdString(other));
    click("Command1");
    EXPECT_EQ(work(), (std::vector<std::string>{"Old label:|" + a, "Old label:|" + other,
                                                "Old label:|" + c}));
    EXPECT_EQ(rows("lstalloc")[1], other);

    click_row("lstalloc", 0);
    type("SelEdit", "nowhere.alo");
    click("Command1");
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"nowhere.alo Not Found"});
}

TEST_F(Geoalloc, OkTestsAndStoresTheLookupTable) {
    const std::string xref = file("model/data/allocate/ALLOCATE.XRF");
    open_form("geoalloc");
    type("txtalloc", "missing.xrf");
    click("cmdfin0");
    EXPECT_TRUE(is_open());
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"missing.xrf does not exist"});

    w.ui.choose(xref);
    click("cmdlookup");
    const ChooserRequest& r = w.ui.calls().back().request;
    EXPECT_EQ(r.filter_index, 2);
    EXPECT_EQ(r.initial_dir, w.s.settings.data_dir + "/allocate");
    EXPECT_EQ(text("txtalloc"), xref);
    click("cmdfin0");
    EXPECT_FALSE(is_open());
    EXPECT_EQ(w.s.sc.run_files[rf::alloc_xref], xref);
    EXPECT_TRUE(w.s.sc.alloc_files_changed);
    EXPECT_EQ(w.ui.messages().size(), 1u);  // no note: the list was not touched
}

}  // namespace
}  // namespace qv::test
