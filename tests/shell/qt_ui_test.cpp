#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qv
