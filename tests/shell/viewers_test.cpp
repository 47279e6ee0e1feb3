#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "fake_processes.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"
#include "shell/batch_campaign.h"
#include "shell/viewer_windows.h"
#include "shell/viewers.h"
#include "shell/window_factory.h"
#include "support/workspace.h"

namespace qv {
namespace {

using test::FakeProcesses;
using test::Workspace;

const std::string viewer_failure =
    "Problem starting Notepad\nMake sure notepad.exe exists and is in your path.";

TEST(ReportsCommandLine, NamesTheDatabaseAndSettingsInTheReportsFolder) {
    ShellSettings cfg;
    cfg.access_exe = "C:\\OFFICE\\MSACCESS.EXE";
    cfg.model_dir = "C:\\QV";
    EXPECT_EQ(reports_command_line(cfg),
              "C:\\OFFICE\\MSACCESS.EXE C:/QV/reports/reports.mdb /ini "
              "C:/QV/reports/quarvel.ini");
}

TEST(ReportingUtility, StartsDetachedInTheReportsFolderAndStaysThere) {
    Workspace w;
    w.write("model/reports/reports.mdb", "");
    w.write("bin/report-tool", "");
    w.s.settings.access_exe = w.program("bin/report-tool");
    FakeProcesses p;
    start_reporting_utility(w.s, p);
    ASSERT_EQ(p.starts.size(), 1u);
    const auto& st = p.starts[0];
    EXPECT_TRUE(st.detached);
    EXPECT_EQ(st.program, w.fs.host_path(w.s.settings.access_exe));
    EXPECT_EQ(st.args, (std::vector<std::string>{
                           w.fs.host_path(w.program("model/reports/reports.mdb")), "/ini",
                           w.fs.host_path(w.program("model/reports/quarvel.ini"))}));
    EXPECT_EQ(st.working_dir, w.fs.host_path(w.program("model/reports")));
    EXPECT_TRUE(w.fs.same_file(w.fs.current_dir(), w.program("model/reports")));
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST(ReportingUtility, FailureShowsTheLowerCasedCommandExceptForOverflow) {
    const std::string message =
        "Problem starting the Reporting Utility\nCommand string: \n\n"
        "c:\\office\\msaccess.exe c:/qv/reports/reports.mdb /ini "
        "c:/qv/reports/quarvel.ini\n\n"
        "Make sure all of the compenents exist and are in the correct path.";
    struct Row {
        const char* model_dir;  // "C:\\QV" does not exist on this host: entering it fails
        std::optional<int> start_failure;
        bool shown;
    } rows[] = {
        {"C:\\QV", std::nullopt, true},
        {nullptr, 53, true},
        {nullptr, 6, false},
    };
    for (const Row& row : rows) {
        Workspace w;
        w.write("model/reports/reports.mdb", "");
        w.s.settings.model_dir = row.model_dir ? row.model_dir : w.program("model");
        w.s.settings.access_exe = "C:\\OFFICE\\MSACCESS.EXE";
        FakeProcesses p;
        p.failure = row.start_failure;
        start_reporting_utility(w.s, p);
        EXPECT_TRUE(p.starts.empty());
        if (!row.shown) {
            EXPECT_TRUE(w.ui.messages().empty());
            continue;
        }
        ASSERT_EQ(w.ui.messages().size(), 1u);
        if (row.model_dir) {
            EXPECT_EQ(w.ui.messages()[0], message);
        }
        EXPECT_EQ(w.ui.calls()[0].icon, Icon::Exclamation);
        EXPECT_EQ(w.ui.calls()[0].title, std::optional<std::string>("US KQT QUARVEL MODEL"));
    }
}

TEST(ReportingUtility, NothingStartsWithoutAReportingTool) {
    Workspace w;
    FakeProcesses p;
    start_reporting_utility(w.s, p);
    EXPECT_TRUE(p.starts.empty());
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST(MessageFilePath, DirectoryUnlessTheNameCarriesOne) {
    struct Row {
        const char* dir;
        const char* name;
        const char* path;
    } rows[] = {
        {"C:\\QV\\OUTPUTS", "RUN1.MSG", "C:/QV/OUTPUTS/RUN1.MSG"},
        {"/qv/outputs", "else/RUN1.MSG", "else/RUN1.MSG"},
        {"C:\\QV\\OUTPUTS", "D:\\ELSE\\RUN1.MSG", "D:\\ELSE\\RUN1.MSG"},
        {"", "RUN1.MSG", "/RUN1.MSG"},
    };
    for (const Row& r : rows) {
        Scenario sc;
        sc.message_dir = r.dir;
        sc.message_file_name = r.name;
        EXPECT_EQ(message_file_path(sc), r.path);
    }
}

TEST(TextViewer, OpensTheMessageAndOptionsFilesDetached) {
    Workspace w;
    w.write("model/outputs/demo.msg", "x");
    w.write("elsewhere/run1.opt", "x");
    w.s.sc.message_dir = w.program("model/outputs");
    w.s.sc.message_file_name = "DEMO.MSG";
    w.set_current("elsewhere/run1.opt");
    FakeProcesses p;
    start_text_viewer(w.s, p, message_file_path(w.s.sc));
    start_text_viewer(w.s, p, w.s.option_file_path());
    ASSERT_EQ(p.starts.size(), 2u);
    for (const auto& st : p.starts) {
        EXPECT_EQ(st.program, text_viewer_program);
        EXPECT_TRUE(st.detached);
    }
    // The host path of each file, found without regard to letter case.
    EXPECT_EQ(p.starts[0].args,
              std::vector<std::string>{w.fs.host_path(w.program("model/outputs/demo.msg"))});
    EXPECT_EQ(p.starts[1].args,
              std::vector<std::string>{w.fs.host_path(w.program("elsewhere/run1.opt"))});
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST(TextViewer, FailureMessage) {
    Workspace w;
    w.set_current("model/run1.opt");
    w.s.sc.message_dir = w.program("model");
    w.s.sc.message_file_name = "run1.msg";
    FakeProcesses p;
    p.failure = 53;
    start_text_viewer(w.s, p, message_file_path(w.s.sc));
    start_text_viewer(w.s, p, w.s.option_file_path());
    ASSERT_EQ(w.ui.messages(), (std::vector<std::string>{viewer_failure, viewer_failure}));
    for (const auto& call : w.ui.calls()) {
        EXPECT_EQ(call.icon, Icon::Exclamation);
        EXPECT_EQ(call.title, std::optional<std::string>("US KQT QUARVEL MODEL"));
    }
}

TEST(DiagPacketLines, ListsTheFileNamingPacketsOnly) {
    const std::string file = test::crlf({
        "* demo scenario",
        "/RUNFILES/",
        "MESSAGE       : demo.msg",
        "/END/",
        "/OPTIONS/",
        "Title 1       : skipped",
        "/END/",
        "between packets",
        "/REGION/  ",  // trailing blanks: not a listed header
        "50STATE",
        "/END/",
        "/region/",  // other case: not listed either
        "/END/",
        "/PERIOD/",
        "Period type   : ANNUAL",
        "  /END/ with text",
        "after",
        "/SOURCE CATEGORY/",
        "2270002000",
    });
    EXPECT_EQ(diag_packet_lines(file),
              (std::vector<std::string>{"* demo scenario", "/RUNFILES/", "MESSAGE       : demo.msg",
                                        "/PERIOD/", "Period type   : ANNUAL", "/SOURCE CATEGORY/",
                                        "2270002000"}));
    // The first line is listed whatever it is; an empty file lists nothing.
    EXPECT_EQ(diag_packet_lines("/OPTIONS/\nx\n"), std::vector<std::string>{"/OPTIONS/"});
    EXPECT_TRUE(diag_packet_lines("").empty());
    // Each listed header in turn, with LF line ends.
    for (const char* header : {"/ALLOC FILES/", "/POP FILES/", "/GROWTH FILES/", "/EMFAC FILES/",
                               "/DETERIORATE FILES/"}) {
        EXPECT_EQ(diag_packet_lines(std::string("first\n") + header + "\nline\n/END/\n"),
                  (std::vector<std::string>{"first", header, "line"}));
    }
}

TEST(AboutDetail, ExecutableAndDateOrTheArguments) {
    EXPECT_EQ(about_detail_text("C:\\QV\\qv-gui", "12/9/26 1:02 PM", ""),
              "C:\\QV\\qv-gui  12/9/26 1:02 PM");
    EXPECT_EQ(about_detail_text("C:\\QV\\qv-gui", "12/9/26 1:02 PM", "a b"), "a b");
    EXPECT_EQ(version_text(), "Version 2008.1.0");
}

// The windows, opened through the window table as the main window opens them.
struct ViewerWindows : ::testing::Test {
    Workspace w;
    QWidget main;
    const OpensslHasher hasher;
    PosixModelLauncher launcher;
    FakeProcesses processes;
    BatchCampaign campaign{w.s};
    const WindowContext context{{hasher, launcher, processes}, campaign, {}};

    template <class T>
    T* open(const char* form) {
        QWidget* window = create_window(form, w.s, &main, &context);
        EXPECT_NE(window, nullptr) << form;
        window->show();
        return qobject_cast<T*>(window);
    }
    template <class T>
    T* child(QWidget* window, const char* name) {
        T* c = window->findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
};

TEST_F(ViewerWindows, CurrentListsEveryPathInLowerCase) {
    w.s.settings.model_dir = "C:\\QV";
    w.s.settings.model_exe = "QV.EXE";
    w.s.settings.data_dir = "C:\\QV\\DATA";
    w.s.settings.access_exe = "C:\\OFFICE\\MSACCESS.EXE";
    w.s.sc.option_file_dir = "C:\\QV";
    w.s.sc.option_file_name = "RUN1.OPT";
    w.s.sc.output_dir = "C:\\QV\\OUTPUTS";
    w.s.sc.output_file_name = "RUN1.OUT";
    w.s.sc.message_dir = "C:\\QV\\OUTPUTS";
    w.s.sc.message_file_name = "RUN1.MSG";
    auto* window = open<CurrentWindow>("Current");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "File Status");
    const std::pair<const char*, const char*> labels[] = {
        {"Modellbl", "Model Directory c:\\qv"},
        {"executlbl", "Model executable qv.exe"},
        {"inputoptlbl", "Input option file run1.opt"},
        {"datadirlbl", "Data directory c:\\qv\\data"},
        {"Accesslbl", "Access executable c:\\office\\msaccess.exe"},
        {"Optionlbl", "Option file c:/qv/run1.opt"},
        {"Outputlbl", "Output file c:/qv/outputs/run1.out"},
        {"Messagelbl", "Message file c:/qv/outputs/run1.msg"},
    };
    int previous_y = -1;
    for (const auto& [name, text] : labels) {
        auto* label = child<QLabel>(window, name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), text);
        EXPECT_GT(label->y(), previous_y) << name;  // top to bottom in this order
        previous_y = label->y();
    }
    EXPECT_EQ(child<QPushButton>(window, "Command1")->text(), "OK");
    auto* done = child<QAction>(window, "mnudone");
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->text(), "Done");
    EXPECT_EQ(child<QMenu>(window, "mnud")->title(), "Done");
}

TEST_F(ViewerWindows, EveryWindowClosesByItsKeysAndButtons) {
    w.set_current("model/run1.opt");
    // Esc in each window, then the OK buttons and the Done item.
    for (const char* form : {"Current", "about", "frmdiag", "Batch"}) {
        QPointer<QWidget> window = open<QWidget>(form);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->objectName(), form);
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(window.isNull());
    }
    for (const char* form : {"Current", "about", "frmdiag"}) {
        QPointer<QWidget> window = open<QWidget>(form);
        QTest::mouseClick(child<QPushButton>(window, "Command1"), Qt::LeftButton);
        QTRY_VERIFY(window.isNull());
    }
    QPointer<QWidget> current = open<QWidget>("Current");
    child<QAction>(current, "mnudone")->trigger();
    QTRY_VERIFY(current.isNull());
}

TEST_F(ViewerWindows, AboutShowsTheVersionAndF1TogglesTheDateLine) {
    auto* window = open<AboutWindow>("about");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "");
    EXPECT_EQ(child<QLabel>(window, "Label1")->text(), "Quarvel Model Interface ");
    EXPECT_EQ(child<QLabel>(window, "VerLbl")->text(), "Version 2008.1.0");
    auto* date = child<QLabel>(window, "DateLbl");
    EXPECT_FALSE(date->text().isEmpty());
    EXPECT_TRUE(date->isVisible());
    QTest::keyClick(window, Qt::Key_F1);
    EXPECT_FALSE(date->isVisible());
    QTest::keyClick(window, Qt::Key_F1);
    EXPECT_TRUE(date->isVisible());
    window->close();
}

TEST_F(ViewerWindows, DiagListsThePacketsOfTheFileOnDisk) {
    w.write("elsewhere/RUN1.OPT",
            test::crlf({"first line", "/OPTIONS/", "x", "/END/", "/RUNFILES/", "a", "/END/"}));
    w.set_current("elsewhere/RUN1.OPT");
    auto* window = open<DiagWindow>("frmdiag");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Packets from RUN1.OPT");
    auto* list = child<QListWidget>(window, "Lstdiag");
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    EXPECT_EQ(items, (QStringList{"first line", "/RUNFILES/", "a"}));
    EXPECT_TRUE(QFontInfo(list->font()).fixedPitch());
    // The button sits under the list's left edge.
    auto* ok = child<QPushButton>(window, "Command1");
    EXPECT_EQ(ok->x(), list->x());
    EXPECT_EQ(ok->y(), list->height());
    window->close();

    // A file that cannot be read leaves the list empty.
    w.set_current("elsewhere/missing.opt");
    window = open<DiagWindow>("frmdiag");
    EXPECT_EQ(child<QListWidget>(window, "Lstdiag")->count(), 0);
    window->close();
}

TEST_F(ViewerWindows, BatchShowsAnEmptyCampaign) {
    auto* window = open<BatchWindow>("Batch");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Batch");
    auto* table = child<QTableView>(window, "BatchTable");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->model()->rowCount(), 0);
    EXPECT_FALSE(child<QPushButton>(window, "cmdRun")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(window, "cmdStop")->isEnabled());
    window->close();
}

}  // namespace
}  // namespace qv
