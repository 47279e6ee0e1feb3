#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QLockFile>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "platform/program_end.h"
#include "shell/desk.h"
#include "shell/startup.h"
#include "support/workspace.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::crlf;
using test::Desk;

const std::string stars = "****************************";

TEST(StartUp, WithIniReadsTheDefaultOptionsFileFromTheModelDirectory) {
    Desk d;
    d.ini();
    EXPECT_EQ(d.start(), std::nullopt);
    EXPECT_TRUE(d.ui.messages().empty());
    EXPECT_TRUE(d.gui.isVisible());
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (demo.opt)");
    EXPECT_EQ(d.s.sc.option_file_dir, d.program("model"));
    EXPECT_EQ(d.s.settings.config_path, d.program("app") + "/qv-gui.ini");
    EXPECT_EQ(d.s.state_table.size(), 53u);
    EXPECT_EQ(d.summary(),
              "Simulation Run Title       : DEMO SCENARIO\n"
              "Current Message File     : demo.msg\n"
              "Current Output Data File : demo.out");
    EXPECT_FALSE(d.gui.findChild<QPushButton*>("View_Msg")->isVisible());
    EXPECT_EQ(d.host.current_dir(), d.program("model"));
    EXPECT_TRUE(d.action("MnuRun")->isEnabled());
    // An empty sixth line: no reporting tool.
    EXPECT_FALSE(d.action("MnuAcc")->isEnabled());
    EXPECT_EQ(d.log().rfind("Starting new run\r\n", 0), 0u);
    EXPECT_EQ(d.log().find("Ending run"), std::string::npos);
    EXPECT_EQ(d.ui.busy_depth(), 0);
}

TEST(StartUp, MissingPathShowsItsMessageAndEndsThroughFini) {
    // Lines 2 and 4 name files in the model directory; lines 5 and 6 are full paths.
    const std::pair<int, std::string> rows[] = {
        {1, "nomodel"}, {3, "RUN9.OPT"}, {4, "model/nodata"}, {5, "nowhere.exe"}};
    for (const auto& [line, value] : rows) {
        Desk d;
        std::vector<std::string> lines = {d.program("model"), "qv-demo-model",         "demo.opt",
                                          "demo.opt",         d.program("model/data"), ""};
        lines[line] = line >= 4 ? d.program(value) : value;
        const std::string missing = line >= 4 ? d.program(value) : d.program("model") + "/" + value;
        d.ini(lines);
        EXPECT_EQ(d.start(), std::optional<bool>(true)) << value;
        ASSERT_EQ(d.ui.messages().size(), 1u);
        EXPECT_EQ(d.ui.messages()[0], missing + " does not exist. Correct qv-gui.ini and retry.");
        EXPECT_EQ(d.ui.calls()[0].title, std::optional<std::string>("US KQT QUARVEL MODEL"));
        EXPECT_EQ(d.log(), crlf({"Starting new run", "Ending run", stars}));
    }
}

TEST(StartUp, FirstRunAsksForEveryPathAndWritesTheIni) {
    Desk d;
    d.ui.choose(d.program("model/qv-demo-model"));
    d.ui.choose(d.program("model/demo.opt"));
    d.ui.choose(d.program("model/new.opt"));
    d.ui.choose(d.program("model/data"));
    d.ui.cancel_chooser();  // no reporting tool on this host
    EXPECT_EQ(d.start(), std::nullopt);

    const auto& calls = d.ui.calls();
    ASSERT_EQ(calls.size(), 6u);
    struct Want {
        std::string kind, title, filter, dir;
    } want[] = {
        {"open_file", "Select Model", "model (executable files)|*|model (*.exe)|*.exe", ""},
        {"open_file", "Select Option template",
         "option (*.opt)|*.opt|text files (*.txt)|*.txt|All files (*.*)|*.*", d.program("model")},
        {"save_file", "Name new option file",
         "option (*.opt)|*.opt|text files (*.txt)|*.txt|All files (*.*)|*.*", d.program("model")},
        {"choose_directory", "Navigate to Data files and select", "",
         d.host.program_path(QDir::homePath().toStdString())},
        {"open_file", "Select MSACCESS.EXE", "option (*.exe)|*.exe|All files (*)|*",
         "c:\\program files\\microsoft office\\office"},
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(calls[i].kind, want[i].kind) << i;
        EXPECT_EQ(calls[i].text, want[i].title) << i;
        EXPECT_EQ(calls[i].request.filter, want[i].filter) << i;
        EXPECT_EQ(calls[i].request.filter_index, 1) << i;
        EXPECT_EQ(calls[i].request.initial_dir, want[i].dir) << i;
        EXPECT_EQ(calls[i].request.executables_only, i == 0) << i;
    }
    EXPECT_EQ(calls[5].text, "Will not transfer to ACCESS");
    EXPECT_EQ(calls[5].title, std::optional<std::string>("US KQT QUARVEL MODEL"));

    EXPECT_EQ(d.dir.read("app/qv-gui.ini"),
              crlf({d.program("model") + "\t:model directory", "qv-demo-model\t:model executable",
                    "demo.opt\t:input option file", "new.opt\t:output option file",
                    d.program("model/data") + "\t:Data dir", "\t:ACCESS executable"}));
    EXPECT_EQ(d.host.current_dir(), d.program("model"));
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (demo.opt)");
    EXPECT_FALSE(d.action("MnuAcc")->isEnabled());
    EXPECT_EQ(d.s.settings.data_dir, d.program("model/data"));
}

TEST(StartUp, CancelledFirstRunPromptEndsWithoutFiniOrIni) {
    struct Row {
        int answered;  // prompts answered before the cancel
        std::string message;
        bool own_title;
    } rows[] = {
        {0, "Must select Model", false},
        {1, "Must have default option file", true},
        {2, "Must have new option file", false},
        {3, "Must Define Data Path", false},
    };
    for (const auto& r : rows) {
        Desk d;
        const std::string answers[] = {d.program("model/qv-demo-model"),
                                       d.program("model/demo.opt"), d.program("model/new.opt")};
        for (int i = 0; i < r.answered; ++i)
            d.ui.choose(answers[i]);
        d.ui.cancel_chooser();
        EXPECT_EQ(d.start(), std::optional<bool>(false)) << r.message;
        ASSERT_FALSE(d.ui.messages().empty());
        EXPECT_EQ(d.ui.messages().back(), r.message);
        EXPECT_EQ(d.ui.calls().back().title,
                  r.own_title ? std::optional<std::string>("US KQT QUARVEL MODEL") : std::nullopt);
        EXPECT_FALSE(fs::exists(d.dir.path() / "app/qv-gui.ini"));
        EXPECT_EQ(d.log(), "Starting new run\r\n");
    }
}

TEST(StartUp, NewOptionNameWithoutPeriodCountsAsCancelAndTooLongAsksAgain) {
    Desk d;
    d.ui.choose(d.program("model/qv-demo-model"));
    d.ui.choose(d.program("model/demo.opt"));
    d.ui.choose(d.program("model/abcdefghi.opt"));
    d.ui.choose(d.program("model/noperiod"));
    EXPECT_EQ(d.start(), std::optional<bool>(false));
    EXPECT_EQ(d.ui.messages(),
              (std::vector<std::string>{
                  "abcdefghi\nFilename too long: Must be 8 characters max before period",
                  "Must have new option file"}));
}

TEST(StartUp, SecondCopyIsAskedAboutAndNoEndsAtOnce) {
    for (Button answer : {Button::No, Button::Yes}) {
        Desk d;
        d.ini();
        QLockFile other(d.lock_path);
        ASSERT_TRUE(other.tryLock(0));
        d.ui.answer(answer);
        auto end = d.start();
        ASSERT_FALSE(d.ui.calls().empty());
        const auto& ask = d.ui.calls()[0];
        EXPECT_EQ(ask.text, already_running_text());
        EXPECT_EQ(ask.buttons, Buttons::YesNo);
        EXPECT_EQ(ask.title, std::optional<std::string>("US KQT QUARVEL MODEL"));
        if (answer == Button::No) {
            EXPECT_EQ(end, std::optional<bool>(false));
            EXPECT_FALSE(fs::exists(d.dir.path() / "app/region.txt"));
        } else {
            EXPECT_EQ(end, std::nullopt);
            EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (demo.opt)");
        }
    }
    EXPECT_EQ(already_running_text(),
              "It appears the application is already running. Running mulitiple \n"
              "instances of this program could lead to problems.  If you are\n"
              "sure the application is not running, you can continue.\n\n" +
                  std::string(21, ' ') + "Would you like to continue anyway?");
}

TEST(StartUp, FirstCopyIsNotAsked) {
    Desk d;
    d.ini();
    EXPECT_EQ(d.start(), std::nullopt);
    EXPECT_TRUE(d.ui.calls().empty());
}

TEST(MainWindow, RunCaptionIsSetWhenTheModelMenuOpens) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    auto* model = d.gui.findChild<QMenu*>("MenuModel");
    emit model->aboutToShow();
    EXPECT_EQ(d.action("MnuRun")->text(), "&Run with demo.opt");
    d.s.sc.option_file_name = "R&D.OPT";
    emit model->aboutToShow();
    EXPECT_EQ(d.action("MnuRun")->text(), "&Run with Current file");
}

TEST(MainWindow, MenuTreeCaptionsAndGreyedEntries) {
    Desk d;
    struct Row {
        const char* name;
        const char* caption;
        bool enabled;
    } rows[] = {
        {"MnuFiles0", "&Open...", true},
        {"MnuFiles1", "&Save", true},
        {"MnuFiles2", "Save &as...", true},
        {"MnuCompare", "&Compare with...", true},
        {"MnuExit", "E&xit", true},
        {"MnuScen0", "&Options", true},
        {"MnuScen1", "&Period", true},
        {"MnuScen2", "&Region", true},
        {"MnuScen3", "&Sources", true},
        {"MnuAcc", "Re&ports", true},
        {"mnuadvopt0", "Geographic &Allocation", true},
        {"mnuadvopt8", "&U.S. Counties FIPS", true},
        {"mnuadvopt11", "&Optional Output", true},
        {"MnuBatch0", "&Select option files", true},
        {"MnuBatch1", "&Run Batch", true},
        {"MnuHelp", "&Help", true},
        {"MnuAbout", "&About", true},
        {"MnuCur", "&Current", true},
        {"MnuDiag", "&Diag", false},
    };
    for (const auto& r : rows) {
        QAction* a = d.action(r.name);
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->text(), r.caption) << r.name;
        EXPECT_EQ(a->isEnabled(), r.enabled) << r.name;
    }
    EXPECT_TRUE(d.action("MnuFiles3")->isSeparator());
    EXPECT_TRUE(d.gui.findChild<QMenu*>("MenuBatch")->menuAction()->isEnabled());
}

TEST(MainWindow, F11TogglesTheDiagnosticsAndEscDoesNothing) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    const char* names[] = {"LstRegionB", "LstDiag", "CmdDiag"};
    auto shown = [&](bool want) {
        for (const char* n : names)
            EXPECT_EQ(d.gui.findChild<QWidget*>(n)->isVisible(), want) << n;
    };
    shown(false);
    QTest::keyClick(&d.gui, Qt::Key_Escape);
    EXPECT_TRUE(d.gui.isVisible());
    shown(false);
    QTest::keyClick(d.gui.findChild<QLabel*>("VerLbl"), Qt::Key_F11);
    shown(true);
    QTest::keyClick(&d.gui, Qt::Key_F11);
    shown(false);
    EXPECT_TRUE(d.ui.calls().empty());
}

TEST(MainWindow, F12AndViewMessageOnlyAskForTheirViewers) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    QSignalSpy options(&d.gui, &QVGui::viewOptionsRequested);
    QSignalSpy run(&d.gui, &QVGui::runRequested);
    QTest::keyClick(&d.gui, Qt::Key_F12);
    d.action("MnuRun")->trigger();
    EXPECT_EQ(options.count(), 1);
    EXPECT_EQ(run.count(), 1);
}

TEST(FileMenu, SaveAsRenamesTheRunFilesAndBecomesTheCurrentFile) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    d.ui.choose(d.program("model/RUN2.OPT"));
    d.action("MnuFiles2")->trigger();
    EXPECT_TRUE(d.ui.messages().empty());
    EXPECT_TRUE(fs::exists(d.dir.path() / "model/RUN2.OPT"));
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (run2.opt)");
    EXPECT_EQ(d.s.sc.message_file_name, "RUN2.MSG");
    EXPECT_EQ(d.s.sc.message_dir, d.program("model") + "/outputs");
    EXPECT_NE(d.summary().find("Current Message File     : run2.msg"), std::string::npos);
    EXPECT_NE(d.summary().find("Current Output Data File : run2.out"), std::string::npos);
    EXPECT_EQ(d.host.current_dir(), d.program("app"));
    const auto& calls = d.ui.calls();
    auto chooser = std::find_if(calls.begin(), calls.end(),
                                [](const test::UiCall& c) { return c.kind == "save_file"; });
    ASSERT_NE(chooser, calls.end());
    EXPECT_EQ(chooser->text, "Save option file as ");
    EXPECT_TRUE(chooser->request.overwrite_prompt);
}

TEST(FileMenu, ErrorBranchLogsTheStepAndReportsTheErrorNumber) {
    struct Row {
        const char* item;
        std::optional<std::string> answer;  // nullopt: the chooser is cancelled
        std::string log_line;
        std::string message;
    } rows[] = {
        {"MnuFiles0", std::nullopt, "Cancelled error  0 ", "Error: Cannot save file: Error 32755"},
        {"MnuFiles2", std::nullopt, "Cancelled error  2 ", "Error: Cannot save file: Error 32755"},
        {"MnuFiles2", "RUN2", "Cancelled error  2 ", "Error: Cannot save file: Error 5"},
    };
    for (const auto& r : rows) {
        Desk d;
        d.ini();
        ASSERT_EQ(d.start(), std::nullopt);
        if (r.answer)
            d.ui.choose(d.program("model/") + *r.answer);
        else
            d.ui.cancel_chooser();
        d.action(r.item)->trigger();
        ASSERT_EQ(d.ui.messages().size(), 1u) << r.item;
        EXPECT_EQ(d.ui.messages()[0], r.message);
        EXPECT_EQ(d.ui.calls().back().title, std::nullopt);
        EXPECT_EQ(d.log_tail(1), crlf({r.log_line}));
        EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (demo.opt)");
        EXPECT_EQ(d.host.current_dir(), d.program("app"));
    }
}

TEST(FileMenu, ExitEndsThroughFini) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    try {
        d.action("MnuExit")->trigger();
        ADD_FAILURE() << "Exit returned";
    } catch (const ProgramEnd& e) {
        EXPECT_TRUE(e.fini);
    }
    EXPECT_EQ(d.log_tail(2), crlf({"Ending run", stars}));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(FileMenu, OpenWaitsUntilTheEditingWindowsAreClosed) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    QWidget* options = d.gui.open_form("Options");
    ASSERT_NE(options, nullptr);
    d.action("MnuFiles0")->trigger();  // no chooser may open while Options holds values
    EXPECT_EQ(d.ui.messages(),
              std::vector<std::string>{"Close the open windows before opening another options "
                                       "file."});
    options->close();
    QCoreApplication::processEvents();
    d.ui.cancel_chooser();
    d.action("MnuFiles0")->trigger();
    EXPECT_TRUE(d.ui.all_answers_used());
}

}  // namespace
}  // namespace qv
