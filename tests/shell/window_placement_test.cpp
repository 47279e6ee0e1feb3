#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "platform/qt/window_util.h"

namespace qv {
namespace {

// The main window somewhere on the screen and a window of the Model run window's size: it must
// lie on the screen without covering the main window, at full size where a side has room.
TEST(PlaceBeside, KeepsTheAnchorInSight) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        const char* where;
        QRect anchor;
        bool full_size;
    } rows[] = {
        {"top left", {area.left(), area.top(), 300, 200}, true},
        {"bottom right", {area.right() - 300, area.bottom() - 200, 300, 200}, true},
        {"centre, large",
         {area.center().x() - area.width() / 4, area.center().y() - 150, area.width() / 2, 300},
         false},
    };
    for (const auto& r : rows) {
        QWidget anchor;
        anchor.setGeometry(r.anchor);
        anchor.show();
        QWidget window;
        window.setMinimumSize(120, 80);
        window.resize(area.width() / 3, area.height() / 3);
        const QSize wanted = window.size();
        place_beside(&window, &anchor);
        const QRect placed(window.pos(), window.size());
        EXPECT_TRUE(area.contains(placed)) << r.where;
        EXPECT_FALSE(placed.intersects(anchor.frameGeometry())) << r.where;
        if (r.full_size) {
            EXPECT_EQ(window.size(), wanted) << r.where;
        }
    }
}

TEST(CenterOn, PutsTheWindowOverTheMiddleOfTheAnchor) {
    QWidget anchor;
    anchor.setGeometry(40, 60, 400, 300);
    anchor.show();
    QWidget window;
    window.setFixedSize(200, 100);
    center_on(&window, &anchor);
    // Within a pixel: an odd size has no exact middle.
    const QPoint off = QRect(window.pos(), window.size()).center() - anchor.geometry().center();
    EXPECT_LE(off.manhattanLength(), 2);
}

}  // namespace
}  // namespace qv
