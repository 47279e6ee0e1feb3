#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>
#include <memory>

#include "platform/fs/host_file_system.h"
#include "platform/qt/qt_ui.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(QtFilter, PairsBecomeQtEntriesWithTheirPatterns) {
    EXPECT_EQ(qt_filter("Option files (*.opt)|*.opt|All files (*.*)|*.*"),
              "Option files (*.opt);;All files (*.*)");
    EXPECT_EQ(qt_filter("(*.me)|*.me"), "*.me (*.me)");
    EXPECT_EQ(qt_filter("option (*.exe)|*.exe"), "option (*.exe)");
    EXPECT_EQ(qt_filter("Text|*.txt;*.dat"), "Text (*.txt *.dat)");
    EXPECT_EQ(qt_filter(""), "");
}

TEST(DisplayText, ValidUtf8OrElseLatin1) {
    EXPECT_EQ(display_text("Constituci\xc3\xb3n"), QString::fromUtf8("Constitución"));
    EXPECT_EQ(display_text("Constituci\xf3n"), QString::fromUtf8("Constitución"));
}

TEST(ProgramText, UnchangedTextGivesBackTheBytesItWasShownFrom) {
    const std::string latin =
        "c:\\donn\xe9"
        "es\\caf\xe9.dat";  // Windows-1252, not UTF-8
    QLineEdit box;
    set_program_text(&box, latin);
    EXPECT_EQ(box.text(), QString::fromUtf8("c:\\données\\café.dat"));
    EXPECT_EQ(program_text(&box), latin);
    box.setText(box.text() + "x");  // typed text is taken as UTF-8
    EXPECT_EQ(program_text(&box),
              "c:\\donn\xc3\xa9"
              "es\\caf\xc3\xa9.datx");

    std::unique_ptr<QListWidgetItem> item(program_item(latin));
    EXPECT_EQ(program_text(item.get()), latin);
    QLineEdit plain;
    plain.setText("typed");
    EXPECT_EQ(program_text(&plain), "typed");
}

// Runs `act` on the first visible top-level window of type W once it is shown (the modal box or
// chooser that the call under test opens), as a user would answer it.
template <typename W>
void when_shown(std::function<void(W*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* w = qobject_cast<W*>(top); w && w->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(w);
                return;
            }
        }
    });
    timer->start();
}

TEST(QtUiChooser, EnterOnTheStartNameGivesThatFile) {
    test::TempDir dir;
    dir.write("data/ACTIVITY/activity.dat", "");
    HostFileSystem fs;
    QtUi ui(fs);
    const std::string folder = fs.program_path((dir.path() / "data/ACTIVITY").string());
    const std::string file = folder + "/activity.dat";
    // A remembered full path in program form, and a bare name in the start directory.
    for (const std::string& start : {file, std::string("activity.dat")}) {
        ChooserRequest request;
        request.title = "Select Activity file";
        request.filter = "ACTIVITY (*.DAT)|*.DAT|All files (*.*)|*.*";
        request.initial_dir = folder;
        request.initial_name = start;
        when_shown<QFileDialog>(
            [](QFileDialog* chooser) { static_cast<QDialog*>(chooser)->accept(); });
        EXPECT_EQ(ui.open_file(request), std::optional<std::string>(file)) << start;
    }
}

TEST(QtUiMessage, ABoxWithoutTitleOfItsOwnShowsTheApplicationTitle) {
    HostFileSystem fs;
    QtUi ui(fs);
    const std::pair<std::optional<std::string>, QString> rows[] = {
        {std::nullopt, "QV-GUI"}, {"US KQT QUARVEL MODEL", "US KQT QUARVEL MODEL"}};
    for (const auto& [title, shown] : rows) {
        QString seen;
        when_shown<QMessageBox>([&seen](QMessageBox* box) {
            seen = box->windowTitle();
            box->accept();
        });
        EXPECT_EQ(static_cast<Ui&>(ui).message("No Fuel Selected", title), Button::Ok);
        EXPECT_EQ(seen, shown);
    }
}

// Yes, No and Cancel come back as pressed; Esc on the box is Cancel.
TEST(QtUiMessage, YesNoCancelBoxAnswersEachButtonAndEscAsCancel) {
    HostFileSystem fs;
    QtUi ui(fs);
    const std::pair<std::function<void(QMessageBox*)>, Button> rows[] = {
        {[](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); }, Button::Yes},
        {[](QMessageBox* box) { box->button(QMessageBox::No)->click(); }, Button::No},
        {[](QMessageBox* box) { box->button(QMessageBox::Cancel)->click(); }, Button::Cancel},
        {[](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, Button::Cancel},
    };
    for (const auto& [press, answer] : rows) {
        when_shown<QMessageBox>(press);
        EXPECT_EQ(static_cast<Ui&>(ui).message("Save them before closing?", std::nullopt,
                                               Icon::Question, Buttons::YesNoCancel),
                  answer);
    }
}

// Enter presses the default button: Yes, except on a question whose Yes ends work. However short
// the text, the box is wide enough for its whole title.
TEST(QtUiMessage, EnterPressesTheDefaultAndTheTitleFits) {
    HostFileSystem fs;
    QtUi ui(fs);
    const std::pair<Buttons, Button> rows[] = {{Buttons::YesNo, Button::Yes},
                                               {Buttons::YesNoDefaultNo, Button::No}};
    for (const auto& [buttons, answer] : rows) {
        int width = 0;
        int title_width = 0;
        when_shown<QMessageBox>([&](QMessageBox* box) {
            width = box->width();
            title_width = box->fontMetrics().horizontalAdvance(box->windowTitle());
            QTest::keyClick(box, Qt::Key_Return);
        });
        EXPECT_EQ(
            static_cast<Ui&>(ui).message("End?", "US KQT QUARVEL MODEL", Icon::Question, buttons),
            answer);
        EXPECT_GT(width, title_width + 100);
    }
}

// The chooser of an options file to open takes existing files only.
TEST(QtUiChooser, AChooserForAnExistingFileTakesNoOtherName) {
    HostFileSystem fs;
    QtUi ui(fs);
    for (bool must_exist : {false, true}) {
        ChooserRequest request;
        request.title = "Select new option file ";
        request.must_exist = must_exist;
        QFileDialog::FileMode mode{};
        when_shown<QFileDialog>([&mode](QFileDialog* chooser) {
            mode = chooser->fileMode();
            chooser->reject();
        });
        EXPECT_EQ(ui.open_file(request), std::nullopt);
        EXPECT_EQ(mode, must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
}

}  // namespace
}  // namespace qv
