#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>

#include <QPushButton>
#include "platform/qt/program_ending.h"
#include "shell/desk.h"
#include "shell/file_menu.h"

namespace qv {
namespace {

using test::Desk;

// The demo options file without its "/PERIOD/" packet and with a title of its own.
std::string without_period(std::string bytes) {
    const std::size_t start = bytes.find("/PERIOD/");
    const std::size_t end = bytes.find("/END/\r\n", start);
    bytes.erase(start, end + 7 - start);
    const std::size_t title = bytes.find("Demo scenario\r\n");
    bytes.replace(title, 13, "Other scenario");
    return bytes;
}

class PartialRead : public ::testing::Test {
  protected:
    // Save as RUN2.OPT, then File > Open of a file without "/PERIOD/": OK on the message and
    // Cancel on the chooser that follows it.
    void SetUp() override {
        d.ini();
        ASSERT_EQ(d.start(), std::nullopt);
        d.ui.choose(d.program("model/RUN2.OPT"));
        d.action("MnuFiles2")->trigger();
        ASSERT_EQ(d.caption(), "US KQT QUARVEL MODEL (run2.opt)");
        demo = d.dir.read("model/demo.opt");
        run2 = d.dir.read("model/RUN2.OPT");
        d.dir.write("model/other.opt", without_period(demo));
        d.ui.choose(d.program("model/other.opt"));
        d.ui.cancel_chooser();
        d.action("MnuFiles0")->trigger();
        ASSERT_TRUE(d.ui.all_answers_used());
        d.ui.clear();
    }
    Desk d;
    std::string demo, run2;
};

TEST_F(PartialRead, TheScenarioBelongsToTheFileItCameFromAgain) {
    EXPECT_TRUE(d.s.read_incomplete);
    EXPECT_EQ(d.s.sc.option_file_name, "RUN2.OPT");
    EXPECT_EQ(d.s.sc.option_file_dir, d.program("model"));
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (run2.opt)");
}

TEST_F(PartialRead, SaveSaveAsAndRunAreRefusedAndWriteNothing) {
    QSignalSpy run(&d.gui, &QVGui::runRequested);
    for (const char* item : {"MnuFiles1", "MnuFiles2", "MnuRun"}) {
        d.ui.clear();
        d.action(item)->trigger();  // Save as asks for no name: no chooser is scripted
        ASSERT_EQ(d.ui.messages(), std::vector<std::string>{incomplete_read_message}) << item;
        EXPECT_EQ(d.ui.calls()[0].title, std::optional<std::string>("US KQT QUARVEL MODEL"));
        EXPECT_EQ(d.ui.calls()[0].icon, Icon::Exclamation);
    }
    EXPECT_EQ(run.count(), 0);
    EXPECT_EQ(d.dir.read("model/demo.opt"), demo);
    EXPECT_EQ(d.dir.read("model/RUN2.OPT"), run2);
    EXPECT_EQ(d.s.sc.option_file_name, "RUN2.OPT");
}

TEST_F(PartialRead, AFullReadMakesSavingPossibleAgain) {
    d.ui.choose(d.program("model/RUN2.OPT"));
    d.action("MnuFiles0")->trigger();
    EXPECT_FALSE(d.s.read_incomplete);
    d.action("MnuFiles1")->trigger();
    EXPECT_TRUE(d.ui.messages().empty());
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (run2.opt)");
    EXPECT_EQ(d.dir.read("model/demo.opt"), demo);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

using test::Desk;

enum class Way { exit, close, open };

// What leaving by `way` did: ended qv-gui, or went on to the Open chooser (cancelled there).
bool went_on(Desk& d, Way way) {
    try {
        if (way == Way::exit)
            d.action("MnuExit")->trigger();
        else if (way == Way::close)
            d.gui.close();
        else
            d.action("MnuFiles0")->trigger();
    } catch (const ProgramEnd& end) {
        EXPECT_TRUE(end.fini);
        return true;
    }
    const auto& calls = d.ui.calls();
    return std::any_of(calls.begin(), calls.end(),
                       [](const test::UiCall& c) { return c.kind == "open_file"; });
}

// A started demo with an edited title.
struct EditedDesk : Desk {
    EditedDesk() {
        ini();
        EXPECT_EQ(start(), std::nullopt);
        demo = dir.read("model/demo.opt");
        s.sc.title1str = "EDITED TITLE";
        s.sc.options_changed = true;
        ui.clear();
    }
    std::string demo;
};

// An edited title: Yes saves and goes on, No goes on without saving, Cancel (and Esc, which the
// box answers as Cancel) stays with nothing written.
TEST(LeavingTheScenario, AsksAboutUnsavedChangesWithYesNoAndCancel) {
    const struct {
        Way way;
        Button answer;
        bool saved, goes_on;
    } rows[] = {
        {Way::exit, Button::Yes, true, true},      {Way::exit, Button::No, false, true},
        {Way::exit, Button::Cancel, false, false}, {Way::close, Button::Yes, true, true},
        {Way::close, Button::No, false, true},     {Way::close, Button::Cancel, false, false},
        {Way::open, Button::Yes, true, true},      {Way::open, Button::No, false, true},
        {Way::open, Button::Cancel, false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.way) * 10 + static_cast<int>(r.answer));
        EditedDesk d;
        d.ui.answer(r.answer);
        if (r.way == Way::open && r.answer != Button::Cancel)
            d.ui.cancel_chooser();
        EXPECT_EQ(went_on(d, r.way), r.goes_on);
        EXPECT_TRUE(d.ui.all_answers_used());
        ASSERT_FALSE(d.ui.calls().empty());
        const test::UiCall& box = d.ui.calls().front();
        EXPECT_EQ(box.text,
                  "The scenario has changes that are not saved in " + d.program("model") +
                      "/demo.opt.\nSave them " +
                      (r.way == Way::open ? "before opening another file?" : "before closing?"));
        EXPECT_EQ(box.buttons, Buttons::YesNoCancel);
        EXPECT_EQ(box.icon, Icon::Question);
        EXPECT_EQ(box.title, std::optional<std::string>("US KQT QUARVEL MODEL"));
        EXPECT_EQ(d.dir.read("model/demo.opt").find("EDITED TITLE") != std::string::npos, r.saved);
        if (!r.goes_on) {
            EXPECT_EQ(d.ui.calls().size(), 1u);
        }
    }
}

// No question where nothing a save writes has changed: an OK in Options that changed nothing,
// or an end forced by a fatal read.
TEST(LeavingTheScenario, NoQuestionWithoutChangesOrWhenTheProgramIsForcedToEnd) {
    EditedDesk d;
    d.s.sc.title1str = "DEMO SCENARIO";
    QWidget* options = d.gui.open_form("Options");
    ASSERT_NE(options, nullptr);
    options->findChild<QPushButton*>("Command1")->click();
    d.ui.cancel_chooser();
    EXPECT_TRUE(went_on(d, Way::open));
    EXPECT_EQ(d.ui.calls().front().kind, "open_file");  // no question before the chooser

    d.s.sc.title1str = "EDITED TITLE";
    d.dir.write("model/bad.opt", "/REGION/\r\nRegion Level       : MARS\r\n/END/\r\n");
    d.ui.clear();
    d.ui.answer(Button::No);
    d.ui.choose(d.program("model/bad.opt"));
    EXPECT_THROW(d.action("MnuFiles0")->trigger(), ProgramEnd);
    d.ui.clear();
    set_program_ending(true);
    EXPECT_TRUE(d.gui.close());
    set_program_ending(false);
    EXPECT_TRUE(d.ui.calls().empty());
    EXPECT_EQ(d.dir.read("model/demo.opt"), d.demo);
}

}  // namespace
}  // namespace qv
