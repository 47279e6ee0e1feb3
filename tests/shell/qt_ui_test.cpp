#include <gtest/gtest.h>

#include <memory>

#include "platform/qt/qt_ui.h"

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

}  // namespace
}  // namespace qv
