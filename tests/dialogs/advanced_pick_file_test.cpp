#include <gtest/gtest.h>

#include "advanced_fixture.h"
#include "dialogs/advanced/file_dialog_forms.h"
#include "dialogs/advanced/pick_file.h"

namespace qv::test {
namespace {

using PickFile = AdvancedDialogTest;

ChooserRequest request() {
    ChooserRequest r;
    r.title = "Select Activity file";
    r.filter = "ACTIVITY (*.DAT)|*.DAT|All files (*.*)|*.*";
    r.initial_dir = "c:\\data\\ACTIVITY";
    return r;
}

TEST_F(PickFile, TooLongNameBringsTheChooserBackUntilAnAcceptedName) {
    w.ui.choose("c:\\data\\ABCDEFGHI.DAT");
    w.ui.choose("c:\\data\\ABCDEFGH.DATA");
    EXPECT_EQ(pick_file(w.s, request(), true), "c:\\data\\ABCDEFGH.DATA");

    const auto& calls = w.ui.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, "open_file");
    EXPECT_EQ(calls[1].kind, "message");
    EXPECT_EQ(calls[1].text,
              "ABCDEFGHI\nFilename too long: Must be 8 characters max before period");
    EXPECT_EQ(calls[1].icon, Icon::Exclamation);
    EXPECT_EQ(calls[1].title, "US KQT QUARVEL MODEL");
    EXPECT_EQ(calls[2].kind, "open_file");
    EXPECT_EQ(calls[2].request.title, "Select Activity file");
    EXPECT_EQ(calls[2].request.initial_dir, "c:\\data\\ACTIVITY");
    EXPECT_TRUE(w.ui.all_answers_used());
}

TEST_F(PickFile, CancelInsideTheLoopEndsThePick) {
    w.ui.choose("c:\\data\\ABCDEFGHI.DAT");
    w.ui.cancel_chooser();
    EXPECT_EQ(pick_file(w.s, request(), true), std::nullopt);
}

TEST_F(PickFile, NameWithoutPeriodEndsSilently) {
    w.ui.choose("c:\\data\\ACTIVITY");
    EXPECT_EQ(pick_file(w.s, request(), true), std::nullopt);
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(PickFile, WithoutTheRuleAnyNameIsTakenAtOnce) {
    for (const char* name : {"c:\\r\\ABCDEFGHI.DAT", "c:\\r\\ABCDEFGH.DATA", "c:\\r\\NOPERIOD"}) {
        w.ui.choose(name);
        EXPECT_EQ(pick_file(w.s, request(), false), name);
    }
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(PickFile, PickLeavesTheCurrentDirectoryAtAppDir) {
    std::filesystem::create_directories(w.dir.path() / "model");
    w.fs.set_current_dir(w.s.settings.model_dir);
    w.ui.choose("c:\\x\\a.dat");
    ASSERT_TRUE(pick_file(w.s, request(), true));
    EXPECT_EQ(w.fs.current_dir(), w.s.settings.app_dir);
}

// Relative names are taken under model_dir, where the model takes them, wherever the current
// directory happens to be (app_dir after a chooser, model_dir after the summary).
TEST_F(PickFile, ExistenceTestTakesRelativeNamesUnderModelDir) {
    touch("model/data/ACTIVITY/act.dat");
    touch("app/data/ACTIVITY/only-here.dat");
    struct Case {
        std::string text;
        bool passes;
    } cases[] = {
        {"", true},
        {"data\\ACTIVITY\\act.dat", true},
        {"DATA\\activity\\ACT.DAT", true},  // letter case ignored, as on Windows
        {"data/ACTIVITY/act.dat", true},
        {"data\\ACTIVITY\\*.dat", true},
        {"data\\ACTIVITY\\a?t.DAT", true},
        {w.program("model/data/ACTIVITY/act.dat"), true},
        {"data\\ACTIVITY\\*.xyz", false},
        {"data\\ACTIVITY\\missing.dat", false},
        {"data\\ACTIVITY", false},  // a directory is not a file
        {"data\\ACTIVITY\\only-here.dat", false},
        {"act.dat", false},
    };
    std::filesystem::create_directories(w.dir.path() / "app");
    for (const char* current : {"model", "app", "model/data/ACTIVITY"}) {
        w.fs.set_current_dir(w.program(current));
        for (const auto& c : cases)
            EXPECT_EQ(named_file_exists(w.s, c.text), c.passes) << current << ": " << c.text;
    }
}

TEST_F(PickFile, FirstMissingFileIsTheOneReported) {
    touch("model/here.dat");
    EXPECT_EQ(first_missing_file(w.s, {"here.dat", ""}), std::nullopt);
    EXPECT_EQ(first_missing_file(w.s, {"gone1.dat", "gone2.dat"}), 0u);
    EXPECT_EQ(first_missing_file(w.s, {"here.dat", "gone2.dat"}), 1u);
}

TEST_F(PickFile, ByModelYearOffForgetsBothNamesOnOnlySetsTheFlag) {
    Scenario& sc = w.s.sc;
    sc.run_files[rf::exhaust_bmy] = "A.BMX";
    sc.run_files[rf::evap_bmy] = "A.BMV";
    store_by_model_year(sc, true);
    EXPECT_TRUE(sc.bmy_output_on);
    EXPECT_EQ(sc.run_files[rf::exhaust_bmy], "A.BMX");
    store_by_model_year(sc, false);
    EXPECT_FALSE(sc.bmy_output_on);
    EXPECT_EQ(sc.run_files[rf::exhaust_bmy], "");
    EXPECT_EQ(sc.run_files[rf::evap_bmy], "");
}

}  // namespace
}  // namespace qv::test
