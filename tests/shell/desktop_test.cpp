// The habits of a desktop program: the file argument, the recent files, the keys, the modified
// marker, qv-gui's own viewer and help, and windows that fit a small screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <fstream>

#include "desk.h"
#include "platform/qt/window_util.h"
#include "shell/model_run_window.h"
#include "shell/recent_files.h"
#include "shell/text_viewer_window.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::Desk;

QString host(const Desk& d, const std::string& rel) {
    return QString::fromStdString((d.dir.path() / rel).string());
}

TEST(FileArgument, TheFirstArgumentThatIsNoOptionMadeAbsolute) {
    EXPECT_EQ(options_file_argument({}), QString());
    EXPECT_EQ(options_file_argument({"-style", "--x"}), QString());
    EXPECT_EQ(options_file_argument({"--x", "/tmp/a.opt", "b.opt"}), "/tmp/a.opt");
    EXPECT_EQ(options_file_argument({"b.opt"}), QFileInfo("b.opt").absoluteFilePath());
}

// qv-gui FILE reads that file instead of the default one; one that cannot be read is reported
// and the default one is read.
TEST(FileArgument, StartsOnTheNamedFileElseOnTheDefault) {
    for (const bool exists : {true, false}) {
        Desk d;
        d.ini();
        fs::create_directories(d.dir.path() / "other");
        if (exists)
            fs::copy_file(d.dir.path() / "model/demo.opt", d.dir.path() / "other/Run 2.opt",
                          fs::copy_options::none);
        d.gui.set_start_file(d.program("other/Run 2.opt"));
        ASSERT_EQ(d.start(), std::nullopt) << exists;
        EXPECT_EQ(d.caption(),
                  exists ? "US KQT QUARVEL MODEL (run 2.opt)" : "US KQT QUARVEL MODEL (demo.opt)");
        EXPECT_EQ(d.ui.messages().size(), exists ? 0u : 1u);
        EXPECT_EQ(d.gui.toolTip(), host(d, exists ? "other" : "model"));
        EXPECT_FALSE(d.s.read_incomplete);
    }
}

TEST(RecentFiles, NewestFirstOnceAndAtMostEight) {
    QStringList list;
    for (int i = 1; i <= 9; ++i)
        list = with_recent(list, QString("/f%1.opt").arg(i));
    EXPECT_EQ(list.size(), 8);
    EXPECT_EQ(list.first(), "/f9.opt");
    EXPECT_EQ(list.last(), "/f2.opt");
    list = with_recent(list, "/f5.opt");
    EXPECT_EQ(list.mid(0, 3), (QStringList{"/f5.opt", "/f9.opt", "/f8.opt"}));
    EXPECT_EQ(list.count("/f5.opt"), 1);
}

// Every file read is listed in the File menu; a listed file that has gone is greyed and, when
// chosen, taken off the list; a listed file that exists is read as File > Open reads one.
TEST(RecentFiles, ListedGreyedWhenGoneAndRemovedWhenChosen) {
    Desk d;
    d.ini();
    fs::copy_file(d.dir.path() / "model/demo.opt", d.dir.path() / "model/gone.opt");
    write_recent_files(d.settings_file(), {host(d, "model/gone.opt")});
    ASSERT_EQ(d.start(), std::nullopt);
    EXPECT_EQ(d.dir.read("app/qv-gui.ini").find("gone"), std::string::npos);
    fs::remove(d.dir.path() / "model/gone.opt");

    auto* menu = d.gui.findChild<QMenu*>("MenuFiles");
    emit menu->aboutToShow();
    QAction* first = d.action("MnuRecent0");
    QAction* second = d.action("MnuRecent1");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->toolTip(), host(d, "model/demo.opt"));
    EXPECT_FALSE(first->property(GreyingMenu::missing).toBool());
    EXPECT_TRUE(second->property(GreyingMenu::missing).toBool());
    EXPECT_TRUE(second->isEnabled());
    second->trigger();
    ASSERT_EQ(d.ui.messages().size(), 1u);
    EXPECT_EQ(read_recent_files(d.settings_file()), QStringList{host(d, "model/demo.opt")});

    // Chosen from the list, another file becomes the current one and the first on the list.
    fs::copy_file(d.dir.path() / "model/demo.opt", d.dir.path() / "model/b.opt");
    write_recent_files(d.settings_file(), {host(d, "model/demo.opt"), host(d, "model/b.opt")});
    emit menu->aboutToShow();
    d.action("MnuRecent1")->trigger();
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (b.opt)");
    EXPECT_EQ(read_recent_files(d.settings_file()).first(), host(d, "model/b.opt"));
}

TEST(Keys, FileItemsAndHelpHaveTheirShortcuts) {
    Desk d;
    const std::pair<const char*, QKeySequence> rows[] = {
        {"MnuFiles0", QKeySequence("Ctrl+O")},
        {"MnuFiles1", QKeySequence("Ctrl+S")},
        {"MnuFiles2", QKeySequence("Ctrl+Shift+S")},
        {"MnuExit", QKeySequence("Ctrl+Q")},
        {"MnuHelp", QKeySequence("F1")},
    };
    for (const auto& [name, keys] : rows)
        EXPECT_EQ(d.action(name)->shortcut(), keys) << name;
}

// F1 opens the user guide, where the windows a user meets can be found by their titles.
TEST(Keys, F1OpensTheGuideWithTheWindowTitles) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    QApplication::setActiveWindow(&d.gui);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d.gui));
    QTest::keyClick(&d.gui, Qt::Key_F1);
    auto* help = d.gui.findChild<QWidget*>("Help");
    ASSERT_TRUE(help && help->isVisible());
    auto* text = help->findChild<QTextBrowser*>("HelpText");
    const QString guide = text->toPlainText();
    for (const char* title : {"Model run", "Batch", "Compare", "Viewer", "File Status"})
        EXPECT_TRUE(guide.contains(title)) << title;
    EXPECT_FALSE(guide.contains("docs/screenshots"));
    auto* find = help->findChild<QLineEdit*>("FindText");
    find->setText("Model run");
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(text->textCursor().selectedText(), "Model run");
}

// Enter presses OK in Options and Period, from a box; on Cancel it stays Cancel.
TEST(Keys, EnterPressesOkInOptionsAndPeriod) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    for (const char* focus : {"Titleone", "Command2"}) {
        QPointer<QWidget> options = d.gui.open_form("Options");
        options->findChild<QLineEdit*>("Titleone")->setText(focus);
        QWidget* target = options->findChild<QWidget*>(focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTRY_VERIFY(!options);
    }
    EXPECT_EQ(d.s.sc.title1str, "Titleone");
    QWidget* period = d.gui.open_form("Periodfrm");
    QLineEdit* year = period->findChild<QLineEdit*>();
    year->setFocus();
    QTest::keyClick(year, Qt::Key_Enter);
    QTRY_VERIFY(!period->isVisible());
    EXPECT_TRUE(d.ui.messages().empty());
}

// The marker shows while a save would change the file, and goes with a save.
TEST(ModifiedMarker, FollowsWhetherASaveWouldChangeTheFile) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (demo.opt)");
    d.s.sc.title1str = "ANOTHER TITLE";
    d.s.sc.options_changed = true;
    d.s.show_summary();
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (demo.opt)*");
    d.action("MnuFiles1")->trigger();
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (demo.opt)");
}

// Read-only, fixed-pitch, follows the file as it grows, finds and reloads.
TEST(ViewerWindow, ShowsFollowsFindsAndReloads) {
    Desk d;
    d.dir.write("model/outputs/run.msg", "first line\r\n");
    QWidget owner;
    auto* v = TextViewerWindow::open(&owner, host(d, "model/outputs/run.msg"), {});
    auto* text = v->findChild<QPlainTextEdit*>("ViewerText");
    ASSERT_TRUE(text && v->isVisible());
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(QFontInfo(text->font()).fixedPitch());
    EXPECT_EQ(text->toPlainText(), "first line\n");
    EXPECT_EQ(v->findChild<QPushButton*>("ViewerOutside"), nullptr);

    {
        std::ofstream grow(d.dir.path() / "model/outputs/run.msg", std::ios::app);
        grow << "second line\r\n";
    }
    QTRY_COMPARE_WITH_TIMEOUT(text->toPlainText(), QString("first line\nsecond line\n"), 5000);

    auto* find = v->findChild<QLineEdit*>("FindText");
    find->setText("second");
    v->findChild<QPushButton*>("FindNext")->click();
    EXPECT_EQ(text->textCursor().selectedText(), "second");

    d.dir.write("model/outputs/run.msg", "rewritten\r\n");
    v->findChild<QPushButton*>("ViewerReload")->click();
    EXPECT_EQ(text->toPlainText(), "rewritten\n");
    // The same file again: the same window.
    EXPECT_EQ(TextViewerWindow::open(&owner, host(d, "model/outputs/run.msg"), {}), v);
    bool asked = false;
    auto* other = TextViewerWindow::open(&owner, host(d, "model/demo.opt"), [&] { asked = true; });
    EXPECT_NE(other, v);
    other->findChild<QPushButton*>("ViewerOutside")->click();
    EXPECT_TRUE(asked);
}

// The test screen is 800 x 600: every window opens inside it, with its buttons reachable, also
// with long paths to show.
TEST(SmallScreen, WindowsOpenInsideTheAvailableArea) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    const std::string deep = "model/" + std::string(90, 'd') + "/" + std::string(90, 'e');
    d.dir.write(deep + "/demo.msg", std::string(200, 'x') + "\n");
    d.s.sc.option_file_dir = d.program(deep);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_LE(area.width(), 1024);

    std::vector<QWidget*> windows = {d.gui.open_form("Current"), d.gui.open_form("Help"),
                                     d.gui.open_viewer(host(d, deep + "/demo.msg"))};
    auto* run = new ModelRunWindow(d.s, &d.gui);
    run->resize(1400, 900);
    show_to_front(run);
    windows.push_back(run);
    for (QWidget* w : windows) {
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(area.contains(w->frameGeometry())) << w->objectName().toStdString();
        for (auto* b : w->findChildren<QPushButton*>()) {
            if (b->isVisible()) {
                EXPECT_TRUE(area.contains(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())))
                    << w->objectName().toStdString() << " " << b->text().toStdString();
            }
        }
    }
    auto* folder = d.gui.findChild<QWidget*>("Current")->findChild<QLabel*>("Folderlbl");
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->text().contains(QChar(0x2026)));
    EXPECT_EQ(folder->toolTip(), "Folder " + host(d, deep));
}

}  // namespace
}  // namespace qv
