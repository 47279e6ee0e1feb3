#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <filesystem>

#include "demo_run.h"
#include "runs/run_record.h"
#include "shell/last_run.h"
#include "shell/qv_gui.h"
#include "shell/run_and_viewers.h"
#include "shell/run_record_window.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::DemoRun;

struct LastRun : DemoRun {
    QLabel* label(QVGui& gui, const char* name) { return gui.findChild<QLabel*>(name); }
    void run(QVGui& gui) {
        connect_run_and_viewers(gui, s, services);
        gui.findChild<QAction*>("MnuRun")->trigger();
    }
    // Content and time change; the same size would do as well, the time tells first.
    void change(const char* rel) {
        const fs::path p = model / rel;
        std::string bytes = test::read_file(p) + "changed\r\n";
        dir.write(fs::relative(p, dir.path()).string(), bytes);
    }
};

TEST_F(LastRun, TheSummaryShowsTheLastRunAndWarnsWhenAnInputChanges) {
    QVGui gui(s, services);
    read_options_file(s);
    gui.show();
    QLabel* last = label(gui, "LastRunLbl");
    QLabel* warning = label(gui, "RunWarningLbl");
    ASSERT_TRUE(last && warning);
    EXPECT_FALSE(last->isVisible());  // never run

    run(gui);
    EXPECT_TRUE(last->isVisible());
    EXPECT_TRUE(last->text().startsWith("Last run: ")) << last->text().toStdString();
    EXPECT_TRUE(last->text().endsWith(", exit status 0")) << last->text().toStdString();
    EXPECT_FALSE(warning->isVisible());
    // The three summary lines themselves are as they were.
    EXPECT_EQ(gui.findChild<QLabel*>("VerLbl")->text().split('\n').size(), 3);

    change("data/ACTIVITY/activity.dat");
    gui.show_summary();
    EXPECT_TRUE(warning->isVisible());
    const std::string activity = (model / "data/ACTIVITY/activity.dat").string();
    EXPECT_EQ(warning->text().toStdString(), "Inputs changed since this run: " + activity);
    EXPECT_EQ(warning->palette().color(QPalette::WindowText), warning_colour());

    // Changed while the user was elsewhere: seen when the window is activated again.
    change("demo.opt");
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&gui, &activate);
    EXPECT_EQ(warning->text().toStdString(),
              "Inputs changed since this run: " + (model / "demo.opt").string() + " (and 1 more)");

    // The Run Record window: one row per file, the changed ones marked.
    gui.findChild<QAction*>("MnuRunRecord")->trigger();
    auto* window = gui.findChild<QWidget*>("RunRecord");
    ASSERT_NE(window, nullptr);
    auto* table = window->findChild<QTableWidget*>("RecordTable");
    ASSERT_NE(table, nullptr);
    int changed_rows = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 5)->text() == "yes") {
            ++changed_rows;
            EXPECT_EQ(table->item(row, 0)->foreground().color(), warning_colour());
        }
    }
    EXPECT_EQ(changed_rows, 2);
    EXPECT_GT(table->rowCount(), 10);

    // Details... beside the red line: the same window, with what changed in the scenario.
    auto* details = gui.findChild<QPushButton*>("RunWarningDetails");
    ASSERT_TRUE(details && details->isVisible());
    QTest::mouseClick(details, Qt::LeftButton);
    EXPECT_EQ(gui.findChild<QWidget*>("RunRecord"), window);
    EXPECT_EQ(window->findChild<QLabel*>("ScenarioChangesLbl")->text(),
              "Changed in the scenario since this run: 1 difference");
    auto* changes = window->findChild<QTableWidget*>("ScenarioChanges");
    ASSERT_EQ(changes->rowCount(), 1);
    QStringList cells;
    for (int col = 0; col < 4; ++col)
        cells << changes->item(0, col)->text();
    EXPECT_EQ(cells, QStringList({"outside packets", "line", "(none)", "changed"}));
    if (const QString out = qEnvironmentVariable("QV_SCREENSHOT_DIR"); !out.isEmpty()) {
        QDir().mkpath(out);
        gui.resize(820, 330);
        EXPECT_TRUE(gui.grab().save(out + "/main-window-inputs-changed.png"));
        EXPECT_TRUE(window->grab().save(out + "/run-record.png"));
    }
    window->close();
    gui.hide();
}

TEST_F(LastRun, AnUnreadableRecordShowsNoLineAndNoBox) {
    QVGui gui(s, services);
    read_options_file(s);
    for (const char* text : {"{ broken", R"({"format": "other/1"})"}) {
        dir.write("model/outputs/demo.out.run.json", text);
        gui.show_summary();
        EXPECT_FALSE(label(gui, "LastRunLbl")->isVisibleTo(&gui)) << text;
        EXPECT_FALSE(label(gui, "RunWarningLbl")->isVisibleTo(&gui)) << text;
    }
    EXPECT_TRUE(ui.messages().empty());
}

// The summary's Last run line and the Run Record window say the same of how a run ended.
TEST_F(LastRun, TheSummaryAndTheRunRecordWindowTellTheSameEnd) {
    QVGui gui(s, services);
    read_options_file(s);
    const struct {
        int signal;
        runs::StopReason stopped;
        const char* failure;
        const char* end;
    } rows[] = {
        {15, runs::StopReason::user, "", "ended by signal 15 (Terminated), stopped by the user"},
        {15, runs::StopReason::time_limit,
         "the model ran past the time limit of 5 s and was stopped",
         "ended by signal 15 (Terminated), stopped at the time limit"},
        {11, runs::StopReason::none, "", "ended by signal 11 (Segmentation fault)"},
    };
    for (const auto& row : rows) {
        runs::RunRecorder recorder(s.fs, hasher, runs::plan_record(s, "qv-gui"));
        runs::RunFacts facts;
        facts.was_started = true;
        facts.started = std::chrono::system_clock::now();
        recorder.run_started(facts);
        facts.ended = facts.started + std::chrono::seconds(2);
        facts.signal = row.signal;
        facts.stopped = row.stopped;
        facts.failure = row.failure;
        recorder.run_ended(facts);
        ASSERT_TRUE(recorder.written()) << recorder.write_error();

        gui.show_summary();
        const QString last = label(gui, "LastRunLbl")->text();
        EXPECT_TRUE(last.endsWith(QString(", 2.0 s, ") + row.end)) << last.toStdString();
        RunRecordWindow window(s, hasher);
        const QStringList facts_lines =
            window.findChild<QLabel*>("RecordFacts")->text().split('\n');
        EXPECT_TRUE(facts_lines.contains(QString("End: ") + row.end)) << row.end;
    }
}

}  // namespace
}  // namespace qv
