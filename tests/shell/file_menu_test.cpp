#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>

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
        ASSERT_EQ(d.gui.windowTitle(), "US KQT QUARVEL MODEL (run2.opt)");
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
    EXPECT_EQ(d.gui.windowTitle(), "US KQT QUARVEL MODEL (run2.opt)");
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
    EXPECT_EQ(d.gui.windowTitle(), "US KQT QUARVEL MODEL (run2.opt)");
    EXPECT_EQ(d.dir.read("model/demo.opt"), demo);
}

}  // namespace
}  // namespace qv
