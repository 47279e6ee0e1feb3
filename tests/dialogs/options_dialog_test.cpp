#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

#include "dialogs/scenario/options_dialog.h"
#include "option_file_fixture.h"

namespace qv::test {
namespace {

class OptionsWindow : public ::testing::Test {
  protected:
    void open() {
        canonical = load_canonical(*w, scenario_file(stage2_50));
        w->view.summaries = 0;
        window = new OptionsDialog(w->s);
        window->show();
    }
    void TearDown() override { delete window.data(); }
    // A fresh workspace for the next row of a table.
    void reset() {
        delete window.data();
        w = std::make_unique<Workspace>();
    }

    QLineEdit* box(const char* name) { return child<QLineEdit>(window, name); }
    void set(const char* name, const QString& text) { box(name)->setText(text); }
    void click(const char* name) {
        QTest::mouseClick(child<QPushButton>(window, name), Qt::LeftButton);
    }
    bool closed() {
        QCoreApplication::processEvents();
        return window.isNull() || !window->isVisible();
    }

    std::unique_ptr<Workspace> w = std::make_unique<Workspace>();
    std::string canonical;
    QPointer<OptionsDialog> window;
};

TEST_F(OptionsWindow, OpeningShowsTheValuesAndSetsTheChangedFlags) {
    open();
    EXPECT_EQ(window->windowTitle(), "Options");
    EXPECT_EQ(box("Titleone")->text(), "FIRST TITLE");
    EXPECT_EQ(box("fulrvp")->text(), "9.0");
    EXPECT_EQ(box("so2marinediesel")->text(), "0.25");
    EXPECT_EQ(box("BlendMktShare")->text(), "10");
    EXPECT_EQ(box("Stage2")->text(), "50");
    EXPECT_TRUE(child<QRadioButton>(window, "altitude_1")->isChecked());
    EXPECT_TRUE(w->s.sc.options_changed);
    EXPECT_TRUE(w->s.sc.stage2_changed);
    EXPECT_TRUE(w->ui.messages().empty());
}

TEST_F(OptionsWindow, WithoutStageTwoPacketTheBoxShowsZeroAndStageTwoStaysUnchanged) {
    // Read as it is: a save would add the packet.
    w->county("06037", "Los Angeles");
    w->load("model/run.opt", scenario_file(""));
    window = new OptionsDialog(w->s);
    EXPECT_EQ(box("Stage2")->text(), "0");
    EXPECT_TRUE(w->s.sc.options_changed);
    EXPECT_FALSE(w->s.sc.stage2_changed);
    EXPECT_FALSE(w->s.sc.stage2_present);
}

TEST_F(OptionsWindow, AltitudeTextSelectsLowOnlyForLow) {
    const struct {
        const char* text;
        bool low;
    } rows[] = {{"LOW", true}, {"  low ", true}, {"HIGH", false}, {"", false}, {"lower", false}};
    open();
    delete window.data();
    for (const auto& r : rows) {
        w->s.sc.altitudestr = r.text;
        OptionsDialog d(w->s);
        EXPECT_EQ(child<QRadioButton>(&d, "altitude_1")->isChecked(), r.low) << r.text;
        EXPECT_EQ(child<QRadioButton>(&d, "altitude_0")->isChecked(), !r.low) << r.text;
    }
}

TEST_F(OptionsWindow, LeavingABoxRefusesAnOutOfRangeEntry) {
    const struct {
        const char* control;
        const char* typed;
        const char* message;  // nullptr: accepted
    } rows[] = {
        {"fulrvp", "20", "Invalid 6 to 16"},      {"fulrvp", "12abc", nullptr},
        {"fulrvp", "", "Invalid 6 to 16"},        {"so2gas", "0.6", "Invalid 0 to 0.5"},
        {"Mintemp", "-41", "Invalid -40 to 120"}, {"Stage2", "101", "Invalid 0 to 100"},
        {"Titleone", "anything at all", nullptr},
    };
    open();
    ASSERT_TRUE(show_active(window));
    for (const auto& r : rows) {
        w->ui.clear();
        QLineEdit* b = box(r.control);
        const QString before = b->text();
        b->setFocus();
        b->selectAll();
        if (*r.typed)
            QTest::keyClicks(b, r.typed);
        else
            QTest::keyClick(b, Qt::Key_Delete);
        QTest::keyClick(b, Qt::Key_Tab);
        EXPECT_FALSE(b->hasFocus()) << r.control;
        if (r.message) {
            EXPECT_EQ(b->text(), "****") << r.control;
            ASSERT_EQ(w->ui.calls().size(), 1u) << r.control;
            EXPECT_EQ(w->ui.calls()[0].text, r.message);
            EXPECT_EQ(w->ui.calls()[0].title, std::nullopt);
            EXPECT_EQ(w->ui.calls()[0].icon, Icon::None);
        } else {
            EXPECT_EQ(b->text(), r.typed) << r.control;
            EXPECT_TRUE(w->ui.calls().empty()) << r.control;
        }
        b->setText(before);
    }
    EXPECT_TRUE(window->isVisible());
}

TEST_F(OptionsWindow, OkStaysOpenWhenACheckFails) {
    const struct {
        std::vector<std::pair<const char*, const char*>> entries;
        std::vector<std::string> messages;
    } rows[] = {
        {{{"fulrvp", "5"}}, {"Invalid 6 to 16"}},
        {{{"pcoxygen", "5.5"}}, {"Invalid 0 to 5"}},
        {{{"so2diesel", "0.7"}}, {"Invalid 0 to 0.5"}},
        {{{"Avgtemp", "121"}}, {"Invalid -40 to 120"}},
        {{{"BlendMktShare", "120"}}, {"Invalid 0 to 100"}},
        {{{"EtOHvolPct", "30"}}, {"Invalid 0 to 20"}},
        {{{"Stage2", "150"}}, {"Invalid 0 to 100"}},
        // A box left with the refusal marker is refused again, also where 0 would pass.
        {{{"so2gas", "****"}}, {"Invalid 0 to 0.5"}},
        {{{"Mintemp", "80"}, {"Maxtemp", "60"}, {"Avgtemp", "70"}},
         {"Minimum temperature exceeds Maximum temperature",
          "Average must be between Minimum and Maximum"}},
        {{{"Avgtemp", "85"}}, {"Average must be between Minimum and Maximum"}},
    };
    for (const auto& r : rows) {
        Workspace fresh;
        reset();
        open();
        for (const auto& [name, text] : r.entries)
            set(name, text);
        click("Command1");
        EXPECT_FALSE(closed()) << r.messages.front();
        EXPECT_EQ(w->ui.messages(), r.messages);
        EXPECT_EQ(w->s.sc.fulrvpstr, "9.0");
        EXPECT_EQ(w->s.sc.mintempstr, "60.0");
        EXPECT_EQ(w->s.sc.stage2str, "50");
        EXPECT_EQ(w->view.summaries, 0);
    }
}

TEST_F(OptionsWindow, OkCopiesTheBoxesBackAndRefreshesTheSummary) {
    open();
    set("Titleone", "New title");
    set("fulrvp", "12abc");
    set("Stage2", "75");
    child<QRadioButton>(window, "altitude_0")->setChecked(true);
    click("Command1");
    EXPECT_TRUE(closed());
    EXPECT_TRUE(w->ui.messages().empty());
    EXPECT_EQ(w->s.sc.title1str, "New title");
    EXPECT_EQ(w->s.sc.fulrvpstr, "12abc");
    EXPECT_EQ(w->s.sc.altitudestr, "HIGH");
    EXPECT_EQ(w->s.sc.stage2str, "75");
    EXPECT_EQ(w->view.summaries, 1);
    QTRY_VERIFY(window.isNull());
}

TEST_F(OptionsWindow, OxygenMismatchWarnsAndStillCloses) {
    open();
    set("BlendMktShare", "3");
    set("pcoxygen", "0.5");
    click("Command1");
    ASSERT_EQ(w->ui.calls().size(), 1u);
    EXPECT_EQ(w->ui.calls()[0].text,
              "Caution, Check to be sure this is what you want:\n"
              "Oxygen content (exhaust effect) mismatch with Ethanol Blend Mkt Share & Vol % "
              "(evap effect).\n"
              "\n"
              "May want to set OxyWtPct = 0.1 \n"
              "which makes it all consistent per equation:\n"
              "OxyWtPct = EtOHblendMktPct * EtOHvolPct * 0.35 * 0.01");
    EXPECT_EQ(w->ui.calls()[0].title, "US KQT QUARVEL MODEL");
    EXPECT_EQ(w->ui.calls()[0].icon, Icon::Exclamation);
    EXPECT_TRUE(closed());
    EXPECT_EQ(w->s.sc.pcoxygenstr, "0.5");
}

TEST_F(OptionsWindow, CancelAndEscLeaveTheScenarioAndClearTheFlags) {
    for (int way = 0; way < 3; ++way) {
        reset();
        open();
        ASSERT_TRUE(show_active(window));
        set("fulrvp", "11");
        set("Titletwo", "changed");
        set("Stage2", "80");
        if (way == 0) {
            click("Command2");
        } else {
            QWidget* from = way == 1 ? static_cast<QWidget*>(box("fulrvp"))
                                     : child<QRadioButton>(window, "altitude_0");
            from->setFocus();
            QTest::keyClick(from, Qt::Key_Escape);
        }
        EXPECT_TRUE(closed()) << way;
        EXPECT_EQ(w->s.sc.fulrvpstr, "9.0");
        EXPECT_EQ(w->s.sc.title2str, "SECOND TITLE");
        EXPECT_EQ(w->s.sc.stage2str, "50");
        EXPECT_FALSE(w->s.sc.options_changed);
        EXPECT_FALSE(w->s.sc.stage2_changed);
        EXPECT_TRUE(w->s.sc.stage2_present);
        EXPECT_TRUE(w->ui.messages().empty());
        EXPECT_EQ(w->view.summaries, 0);
    }
}

TEST_F(OptionsWindow, CancelKeepsChangesAcceptedInAnEarlierVisit) {
    open();
    set("fulrvp", "10");
    click("Command1");
    QTRY_VERIFY(window.isNull());
    ASSERT_TRUE(w->s.sc.options_changed);
    window = new OptionsDialog(w->s);
    window->show();
    click("Command2");
    QTRY_VERIFY(window.isNull());
    EXPECT_EQ(w->s.sc.fulrvpstr, "10");
    EXPECT_TRUE(w->s.sc.options_changed);  // the next save still writes the accepted value
}

TEST_F(OptionsWindow, CancelAfterAnEarlierOkStoresNothingOfTheVisit) {
    // The earlier OK leaves the changed flags set; the cancelled visit must still store
    // nothing, neither its edits nor the refusal marker.
    const struct {
        const char* what;
        std::vector<std::pair<const char*, const char*>> typed;  // each box left with Tab
        bool escape;
    } rows[] = {
        {"refused RVP, Cancel", {{"fulrvp", "99"}}, false},
        {"refused RVP, Esc", {{"fulrvp", "99"}}, true},
        {"mis-ordered temperatures, Esc", {{"Mintemp", "80"}, {"Maxtemp", "60"}}, true},
        {"Stage II, Cancel", {{"Stage2", "75"}}, false},
    };
    for (const auto& r : rows) {
        reset();
        open();
        set("Titleone", "ACCEPTED");
        click("Command1");
        QTRY_VERIFY(window.isNull());
        ASSERT_TRUE(update_default_option_file(w->s));
        const std::string accepted = w->read("model/run.opt");

        window = new OptionsDialog(w->s);
        ASSERT_TRUE(show_active(window));
        for (const auto& [name, text] : r.typed) {
            QLineEdit* b = box(name);
            b->setFocus();
            b->selectAll();
            QTest::keyClicks(b, text);
            QTest::keyClick(b, Qt::Key_Tab);
        }
        if (r.escape)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            click("Command2");
        QTRY_VERIFY(window.isNull());
        EXPECT_EQ(w->s.sc.fulrvpstr, "9.0") << r.what;
        EXPECT_EQ(w->s.sc.mintempstr, "60.0") << r.what;
        EXPECT_EQ(w->s.sc.stage2str, "50") << r.what;
        EXPECT_TRUE(w->s.sc.options_changed) << r.what;
        ASSERT_TRUE(update_default_option_file(w->s));
        EXPECT_EQ(w->read("model/run.opt"), accepted) << r.what;
    }
}

TEST_F(OptionsWindow, CloseBoxChecksLikeOk) {
    open();
    ASSERT_TRUE(show_active(window));
    set("Maxtemp", "130");
    EXPECT_FALSE(window->close());
    EXPECT_EQ(w->ui.messages(), std::vector<std::string>{"Invalid -40 to 120"});
    EXPECT_EQ(box("Maxtemp")->text(), "****");
    EXPECT_EQ(w->s.sc.maxtempstr, "84.0");

    set("Maxtemp", "90");
    EXPECT_TRUE(window->close());
    EXPECT_EQ(w->s.sc.maxtempstr, "90");
    EXPECT_EQ(w->view.summaries, 1);
}

TEST_F(OptionsWindow, SaveRewritesOnlyTheChangedValues) {
    open();
    set("fulrvp", "10.5");
    click("Command1");
    ASSERT_TRUE(closed());
    ASSERT_TRUE(update_default_option_file(w->s));
    EXPECT_EQ(changed_lines(canonical, w->read("model/run.opt")),
              std::vector<std::string>{"Fuel RVP for gas   : 10.5"});

    canonical = w->read("model/run.opt");
    window = new OptionsDialog(w->s);
    window->show();
    set("Stage2", "75");
    click("Command1");
    ASSERT_TRUE(closed());
    ASSERT_TRUE(update_default_option_file(w->s));
    EXPECT_EQ(changed_lines(canonical, w->read("model/run.opt")),
              std::vector<std::string>{"Control Factor     : 75"});
}

TEST_F(OptionsWindow, CancelledEditsAreNotSaved) {
    open();
    set("fulrvp", "10.5");
    set("Stage2", "75");
    click("Command2");
    ASSERT_TRUE(closed());
    ASSERT_TRUE(update_default_option_file(w->s));
    EXPECT_EQ(w->read("model/run.opt"), canonical);
}

TEST_F(OptionsWindow, Screenshot) {
    QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "QV_SCREENSHOT_DIR not set";
    open();
    ASSERT_TRUE(show_active(window));
    QDir().mkpath(dir);
    EXPECT_TRUE(window->grab().save(dir + "/options.png"));
}

}  // namespace
}  // namespace qv::test
