#include <gtest/gtest.h>

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

#include "dialogs/scenario/period_dialog.h"
#include "option_file_fixture.h"

namespace qv::test {
namespace {

class PeriodWindow : public ::testing::Test {
  protected:
    void open() {
        canonical = load_canonical(*w, scenario_file(stage2_50));
        w->s.sc.period_changed = false;
        window = new PeriodDialog(w->s);
        window->show();
    }
    void TearDown() override { delete window.data(); }

    QRadioButton* option(const char* array, int index) {
        return child<QRadioButton>(window,
                                   (std::string(array) + "_" + std::to_string(index)).c_str());
    }
    QLineEdit* box(const char* name) { return child<QLineEdit>(window, name); }
    void click(const char* name) {
        QTest::mouseClick(child<QPushButton>(window, name), Qt::LeftButton);
    }
    void choose(const char* array, int index) { option(array, index)->click(); }
    bool closed() {
        QCoreApplication::processEvents();
        return window.isNull() || !window->isVisible();
    }
    // The enabled state of every option of a group.
    std::vector<bool> enabled(const char* array, int count) {
        std::vector<bool> r;
        for (int i = 0; i < count; ++i)
            r.push_back(option(array, i)->isEnabled());
        return r;
    }

    std::unique_ptr<Workspace> w = std::make_unique<Workspace>();
    std::string canonical;
    QPointer<PeriodDialog> window;
};

TEST_F(PeriodWindow, OpeningSelectsTheScenarioValuesAndLogs) {
    open();
    EXPECT_EQ(window->windowTitle(), "Period");
    EXPECT_EQ(w->s.log.lines().back(), "Entering Period form load");
    EXPECT_TRUE(option("thePeriod", 1)->isChecked());
    EXPECT_TRUE(option("ptype", 0)->isChecked());
    EXPECT_TRUE(option("amonth", 6)->isChecked());
    EXPECT_TRUE(option("aweek", 1)->isChecked());
    EXPECT_EQ(box("Year")->text(), "2020");
    EXPECT_EQ(box("growthYear")->text(), "2018");
    EXPECT_EQ(box("techYear")->text(), "");
    EXPECT_EQ(child<QLabel>(window, "lblEpisodeYear")->text(), "Episode");
    EXPECT_EQ(child<QGroupBox>(window, "fraDay")->title(), "Day");
    // Monthly, typical day: months and days offered, seasons not.
    EXPECT_EQ(enabled("amonth", 12), std::vector<bool>(12, true));
    EXPECT_EQ(enabled("aseason", 4), std::vector<bool>(4, false));
    EXPECT_EQ(enabled("aweek", 2), std::vector<bool>(2, true));
    EXPECT_TRUE(w->s.sc.period_changed);
}

TEST_F(PeriodWindow, AnIndexOutsideItsOptionsIsLoggedAndTheOpeningGoesOn) {
    w->county("06037", "Los Angeles");
    w->load("model/run.opt", scenario_file(""));
    w->s.sc.month_of_year = 12;
    w->s.sc.season_of_year = -1;
    window = new PeriodDialog(w->s);
    const auto& log = w->s.log.lines();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "Entering Period form load");
    EXPECT_EQ(log[log.size() - 2], "*****************Period Error 9 ");
    EXPECT_EQ(log[log.size() - 1], "*****************Period Error 9 ");
    EXPECT_TRUE(option("aweek", 1)->isChecked());
    EXPECT_EQ(box("growthYear")->text(), "2018");
}

TEST_F(PeriodWindow, OptionsAreOfferedByKindAndType) {
    open();
    const struct {
        int period, type;
        bool months, seasons, days;
    } rows[] = {
        {0, 0, false, false, true}, {0, 1, false, false, false}, {1, 1, true, false, false},
        {1, 0, true, false, true},  {2, 0, false, true, true},   {2, 1, false, true, false},
    };
    for (const auto& r : rows) {
        choose("thePeriod", r.period);
        choose("ptype", r.type);
        EXPECT_EQ(window->values().periodindex, r.period);
        EXPECT_EQ(window->values().ptypeindex, r.type);
        EXPECT_EQ(enabled("amonth", 12), std::vector<bool>(12, r.months)) << r.period << r.type;
        EXPECT_EQ(enabled("aseason", 4), std::vector<bool>(4, r.seasons)) << r.period << r.type;
        EXPECT_EQ(enabled("aweek", 2), std::vector<bool>(2, r.days)) << r.period << r.type;
        EXPECT_EQ(enabled("thePeriod", 3), std::vector<bool>(3, true));
        EXPECT_EQ(enabled("ptype", 2), std::vector<bool>(2, true));
    }
}

TEST_F(PeriodWindow, ADisabledGroupKeepsItsSelection) {
    open();
    choose("amonth", 2);
    choose("thePeriod", 0);
    EXPECT_FALSE(option("amonth", 2)->isEnabled());
    EXPECT_TRUE(option("amonth", 2)->isChecked());
    choose("thePeriod", 1);
    EXPECT_TRUE(option("amonth", 2)->isEnabled());
    EXPECT_TRUE(option("amonth", 2)->isChecked());
    EXPECT_EQ(window->values().monthindex, 2);
}

TEST_F(PeriodWindow, OkTestsTheYearsInOrderAndStaysOpenOnTheFirstFailure) {
    const struct {
        const char *episode, *growth, *tech;
        const char* message;
    } rows[] = {
        {"", "", "", "Episode year must be numeric and in the range 1970-2050."},
        {"1969", "abc", "3000", "Episode year 1969 is outside allowed range 1970-2050."},
        {"2020", "2051", "x", "Growth year 2051 is outside allowed range 1970-2050."},
        {"2020", "", "20 20", "Tech year must be numeric and in the range 1970-2050."},
        {"2020", "1970", "123456", "Tech year 123456 is outside allowed range 1970-2050."},
    };
    for (const auto& r : rows) {
        delete window.data();
        w = std::make_unique<Workspace>();
        open();
        box("Year")->setText(r.episode);
        box("growthYear")->setText(r.growth);
        box("techYear")->setText(r.tech);
        click("cmdOK");
        EXPECT_FALSE(closed()) << r.message;
        EXPECT_EQ(w->ui.messages(), std::vector<std::string>{r.message});
        EXPECT_EQ(w->s.sc.episode_year, "2020");
        EXPECT_EQ(w->s.sc.growth_calc_year, "2018");
    }
}

TEST_F(PeriodWindow, OkStoresTheValuesAsTyped) {
    open();
    choose("thePeriod", 2);
    choose("aseason", 3);
    choose("ptype", 1);
    box("Year")->setText(" 2030 ");
    box("techYear")->setText("2025");
    click("cmdOK");
    EXPECT_TRUE(closed());
    EXPECT_TRUE(w->ui.messages().empty());
    const Scenario& sc = w->s.sc;
    EXPECT_EQ(sc.period_type, 2);
    EXPECT_EQ(sc.summation_type, 1);
    EXPECT_EQ(sc.season_of_year, 3);
    EXPECT_EQ(sc.month_of_year, 6);
    EXPECT_EQ(sc.weekday_or_weekend, 1);
    EXPECT_EQ(sc.episode_year, " 2030 ");
    EXPECT_EQ(sc.growth_calc_year, "2018");
    EXPECT_EQ(sc.tech_sel_year, "2025");
    EXPECT_TRUE(sc.period_changed);
    QTRY_VERIFY(window.isNull());
}

TEST_F(PeriodWindow, CancelAndEscLeaveTheScenarioValues) {
    for (int way = 0; way < 3; ++way) {
        delete window.data();
        w = std::make_unique<Workspace>();
        open();
        ASSERT_TRUE(show_active(window));
        choose("thePeriod", 0);
        choose("aweek", 0);
        box("Year")->setText("1900");
        if (way == 0) {
            click("cmdCancel");
        } else {
            QWidget* from = way == 1 ? static_cast<QWidget*>(box("Year")) : option("thePeriod", 0);
            from->setFocus();
            QTest::keyClick(from, Qt::Key_Escape);
        }
        EXPECT_TRUE(closed()) << way;
        EXPECT_TRUE(w->ui.messages().empty());
        EXPECT_EQ(w->s.sc.period_type, 1);
        EXPECT_EQ(w->s.sc.weekday_or_weekend, 1);
        EXPECT_EQ(w->s.sc.episode_year, "2020");
        // Set by the opening, and taken back: nothing of the visit is written.
        EXPECT_FALSE(w->s.sc.period_changed);
    }
}

TEST_F(PeriodWindow, CloseBoxChecksTheYearsLikeOk) {
    open();
    ASSERT_TRUE(show_active(window));
    box("growthYear")->setText("1800");
    choose("thePeriod", 0);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(w->ui.messages(),
              std::vector<std::string>{"Growth year 1800 is outside allowed range 1970-2050."});
    EXPECT_EQ(w->s.sc.period_type, 1);

    box("growthYear")->setText("2040");
    EXPECT_TRUE(window->close());
    EXPECT_EQ(w->s.sc.period_type, 0);
    EXPECT_EQ(w->s.sc.growth_calc_year, "2040");
}

TEST_F(PeriodWindow, SaveRewritesOnlyThePeriodPacket) {
    open();
    ASSERT_TRUE(show_active(window));
    click("cmdOK");
    ASSERT_TRUE(closed());
    ASSERT_TRUE(update_default_option_file(w->s));
    EXPECT_EQ(w->read("model/run.opt"), canonical);

    window = new PeriodDialog(w->s);
    window->show();
    choose("thePeriod", 2);
    choose("aseason", 2);
    box("techYear")->setText("2030");
    click("cmdOK");
    ASSERT_TRUE(closed());
    ASSERT_TRUE(update_default_option_file(w->s));
    EXPECT_EQ(
        changed_lines(canonical, w->read("model/run.opt")),
        (std::vector<std::string>{"Period type        : Seasonal", "Season of year     : Summer",
                                  "Month of year      : ", "Year of tech sel   : 2030"}));
}

TEST_F(PeriodWindow, Screenshot) {
    QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "QV_SCREENSHOT_DIR not set";
    open();
    ASSERT_TRUE(show_active(window));
    QDir().mkpath(dir);
    EXPECT_TRUE(window->grab().save(dir + "/period.png"));
}

}  // namespace
}  // namespace qv::test
