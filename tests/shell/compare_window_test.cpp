#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include "desk.h"
#include "shell/compare_window.h"

namespace qv {
namespace {

using test::Desk;

QStringList row_of(QTableWidget* table, int row) {
    QStringList cells;
    for (int col = 0; col < table->columnCount(); ++col)
        cells << table->item(row, col)->text();
    return cells;
}

TEST(CompareWindow, ComparesTheScenarioOnScreenWithAnotherFileAndChangesNeither) {
    Desk d;
    d.ini();
    ASSERT_EQ(d.start(), std::nullopt);
    const std::string demo = d.dir.read("model/demo.opt");
    std::string other = demo;
    other.replace(other.find("Nevada             : 32000"), 26, "Utah               : 49000");
    other.replace(other.find("Year of episode    : 2025"), 25, "Year of episode    : 2030");
    d.dir.write("model/other.opt", other);
    // An edit in the window, not saved.
    d.s.sc.fulrvpstr = "7.8";
    d.s.sc.options_changed = true;

    d.ui.choose(d.program("model/other.opt"));
    d.action("MnuCompare")->trigger();
    auto* window = d.gui.findChild<QWidget*>("Compare");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Compare with other.opt: 4 differences");
    auto* table = window->findChild<QTableWidget*>("CompareTable");
    ASSERT_EQ(table->rowCount(), 4);
    const QList<QStringList> rows = {
        {"/OPTIONS/", "Fuel RVP for gas", "7.8", "8.0"},
        {"/PERIOD/", "Episode year", "2025", "2030"},
        {"/REGION/", "state", "Nevada NV 32000", "(none)"},
        {"", "state", "(none)", "Utah UT 49000"},
    };
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(row_of(table, row), rows[row]) << row;
    EXPECT_FALSE(window->findChild<QLabel*>("NoDifferences")->isVisible());

    if (const QString out = qEnvironmentVariable("QV_SCREENSHOT_DIR"); !out.isEmpty()) {
        QDir().mkpath(out);
        window->resize(760, 300);
        EXPECT_TRUE(window->grab().save(out + "/compare.png"));
    }

    // Against its own file once the edit is undone: nothing differs.
    d.s.sc.fulrvpstr = "8.0";
    auto* compare = qobject_cast<CompareWindow*>(window);
    compare->compare_with(d.program("model/demo.opt"));
    EXPECT_EQ(window->windowTitle(), "Compare with demo.opt: 0 differences");
    EXPECT_TRUE(window->findChild<QLabel*>("NoDifferences")->isVisible());
    EXPECT_EQ(window->findChild<QLabel*>("NoDifferences")->text(), "No differences");
    EXPECT_FALSE(table->isVisible());

    // A file that cannot be read says so, and no box interrupts.
    compare->compare_with(d.program("model/missing.opt"));
    EXPECT_TRUE(window->findChild<QLabel*>("NoDifferences")
                    ->text()
                    .startsWith(QString::fromStdString(d.program("model/missing.opt") +
                                                       " could not be read: Cannot find")));
    EXPECT_EQ(window->windowTitle(), "Compare with missing.opt");

    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(d.dir.read("model/demo.opt"), demo);
    EXPECT_EQ(d.dir.read("model/other.opt"), other);
    EXPECT_EQ(d.s.option_file_path(), d.program("model/demo.opt"));
    EXPECT_EQ(d.s.sc.episode_year, "2025");
    EXPECT_TRUE(d.ui.all_answers_used());
    EXPECT_TRUE(d.ui.messages().empty());
}

}  // namespace
}  // namespace qv
