#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <functional>

#include "demo_run.h"
#include "scenario/text.h"
#include "shell/batch_campaign.h"
#include "shell/model_runner.h"
#include "shell/window_factory.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::DemoRun;

TEST_F(DemoRun, ShowsTheCommandAndOutputAndEndsWithTheFilesWritten) {
    ModelRunner runner(s, launcher, hasher, &main);
    const int summaries = view.summaries;
    runner.run();
    EXPECT_FALSE(runner.running());
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_GE(ui.polls, 1);

    // The batch file: change to the model directory, then the model on the options file.
    EXPECT_EQ(dir.read("model/quarvel.bat"), "CD " + s.settings.model_dir + "\r\nqv-demo-model " +
                                                 s.settings.model_dir + "/demo.opt\r\n");
    EXPECT_TRUE(fs::is_regular_file(model / "outputs/demo.msg"));
    EXPECT_TRUE(fs::is_regular_file(model / "outputs/demo.out"));
    EXPECT_EQ(view.summaries, summaries + 1);
    EXPECT_TRUE(hfs.same_file(hfs.current_dir(), s.settings.app_dir));

    ASSERT_NE(runner.window(), nullptr);
    EXPECT_TRUE(runner.window()->isVisible());
    EXPECT_EQ(runner.window()->windowTitle(), "Model run");
    EXPECT_EQ(child<QLabel>(runner, "lblCommand")->text(),
              QString::fromStdString("Command: " + (model / "qv-demo-model").string() + " " +
                                     (model / "demo.opt").string()));
    EXPECT_EQ(child<QLabel>(runner, "lblDirectory")->text(),
              QString::fromStdString("Directory: " + model.string()));
    const QString output = child<QPlainTextEdit>(runner, "txtOutput")->toPlainText();
    EXPECT_TRUE(output.contains("Run completed")) << output.toStdString();
    EXPECT_EQ(child<QLabel>(runner, "lblStatus")->text(), "Finished, exit status 0");
    EXPECT_TRUE(child<QLabel>(runner, "lblElapsed")->text().startsWith("Elapsed time: 0:0"));
    EXPECT_FALSE(child<QPushButton>(runner, "cmdStop")->isEnabled());

    // The next run starts the same window afresh.
    ModelRunWindow* window = runner.window();
    runner.run();
    EXPECT_EQ(runner.window(), window);
    EXPECT_EQ(child<QPlainTextEdit>(runner, "txtOutput")->toPlainText().count("Run completed"), 1);
}

TEST_F(DemoRun, ASecondRunWhileTheModelRunsIsRefused) {
    ModelRunner runner(s, launcher, hasher, &main);
    bool tried = false;
    ui.on_events = [&](int) {
        if (tried)
            return;
        tried = true;
        EXPECT_TRUE(runner.running());
        runner.run();
    };
    runner.run();
    EXPECT_TRUE(tried);
    ASSERT_EQ(ui.messages(), std::vector<std::string>{run_in_progress_message});
    EXPECT_EQ(ui.calls()[0].icon, Icon::Exclamation);
    EXPECT_EQ(ui.calls()[0].title, std::optional<std::string>("US KQT QUARVEL MODEL"));
    // The first run went on to its end.
    EXPECT_EQ(child<QLabel>(runner, "lblStatus")->text(), "Finished, exit status 0");
    EXPECT_TRUE(fs::exists(model / "outputs/demo.out"));
}

TEST_F(DemoRun, StopAsksAndEndsTheModelOnlyOnYes) {
    ModelRunner runner(s, launcher, hasher, &main);
    ui.on_events = [&](int poll) {
        if (poll > 2)
            return;
        auto* stop = child<QPushButton>(runner, "cmdStop");
        ASSERT_TRUE(stop->isEnabled());
        // First No (the model goes on), then Yes.
        if (poll == 1)
            ui.answer(Button::No);
        if (poll == 2)
            ui.answer(Button::Yes);
        QTest::mouseClick(stop, Qt::LeftButton);
    };
    runner.run();
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[0],
              "Stop the model run?\n\nThe model and every program it started will be ended; its "
              "message and output files may be incomplete.");
    EXPECT_EQ(ui.calls()[0].buttons, Buttons::YesNo);
    EXPECT_TRUE(ui.all_answers_used());
    EXPECT_EQ(ui.polls, 3);  // the wait saw the end at the poll after the Yes
    EXPECT_TRUE(child<QLabel>(runner, "lblStatus")->text().startsWith("Stopped by the user"));
    EXPECT_FALSE(fs::exists(model / "outputs/demo.out"));
    EXPECT_EQ(view.summaries, 2);  // the read, and the end of the run
}

TEST_F(DemoRun, AModelThatCannotStartGivesTheProblemMessageAndLogLine) {
    s.settings.model_exe = "no-such-model";
    ModelRunner runner(s, launcher, hasher, &main);
    runner.run();
    const std::string command =
        lower(s.settings.model_dir + "/no-such-model " + s.settings.model_dir + "/demo.opt");
    ASSERT_EQ(ui.messages(),
              std::vector<std::string>{
                  "Problem starting Core Model\n\nCommand string: " + command +
                  "\n\nMake sure the Core model executable exists and is in the correct path."});
    EXPECT_EQ(s.log.lines().back(), "Problem running file error number 53 command string " +
                                        s.settings.model_dir + "/no-such-model " +
                                        s.settings.model_dir + "/demo.opt");
    EXPECT_EQ(child<QLabel>(runner, "lblStatus")->text(),
              "The model could not be started (error 53: No such file or directory)");
    EXPECT_FALSE(runner.running());
}

// Faulty stand-in models: the window's status line says what went wrong, and a flood of output
// leaves a bounded tail with a note that points to the whole output's log.
TEST_F(DemoRun, TheWindowSaysHowAFaultyModelEnded) {
    const std::string log = (model / "outputs/DEMO.OUT.log").string();
    const struct {
        const char* script;
        fs::perms perms;
        const char* status;
        const char* last_line;
        bool dropped;
    } rows[] = {
        {"kill -SEGV $$", fs::perms(0755), "Finished, ended by signal 11 (Segmentation fault)", "",
         false},
        {"exit 0", fs::perms(0644), "The model could not be started (error 75: Permission denied)",
         "", false},
        {"echo nothing written", fs::perms(0755),
         "Failed: the model ended with exit status 0 but did not write its message file ",
         "nothing written", false},
        {"seq 1 25000", fs::perms(0755), "Failed: ", "25000", true},
    };
    for (const auto& row : rows) {
        dir.write("model/model.sh", std::string("#!/bin/sh\n") + row.script + "\n");
        fs::permissions(model / "model.sh", row.perms);
        s.settings.model_exe = "model.sh";
        ui.clear();
        ModelRunner runner(s, launcher, hasher, &main);
        runner.run();
        ASSERT_NE(runner.window(), nullptr) << row.script;
        const QString status = child<QLabel>(runner, "lblStatus")->text();
        EXPECT_TRUE(status.startsWith(row.status)) << status.toStdString();
        const QString output = child<QPlainTextEdit>(runner, "txtOutput")->toPlainText();
        EXPECT_TRUE(output.endsWith(row.last_line)) << row.script;
        auto* dropped = child<QLabel>(runner, "lblDropped");
        EXPECT_EQ(dropped->isVisibleTo(runner.window()), row.dropped) << row.script;
        if (row.dropped) {
            EXPECT_EQ(output.count('\n') + 1, ModelRunWindow::max_lines);
            EXPECT_TRUE(output.startsWith("15001\n"));
            EXPECT_EQ(dropped->text(), dropped_lines_text(15000, QString::fromStdString(log)));
            const QString shots = qEnvironmentVariable("QV_SCREENSHOT_DIR");
            if (!shots.isEmpty()) {
                QCoreApplication::processEvents();
                EXPECT_TRUE(runner.window()->grab().save(shots + "/model-run-flood.png"));
            }
        }
        runner.window()->close();
    }
}

// With QV_SCREENSHOT_DIR set: the Model run window after a demo run, and the viewer windows.
TEST_F(DemoRun, Screenshots) {
    const QString out = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "QV_SCREENSHOT_DIR is not set";
    QDir().mkpath(out);
    ModelRunner runner(s, launcher, hasher, &main);
    runner.run();
    ASSERT_NE(runner.window(), nullptr);
    EXPECT_TRUE(runner.window()->grab().save(out + "/model-run.png"));
    const std::pair<const char*, const char*> windows[] = {
        {"Current", "current"}, {"about", "about"}, {"frmdiag", "frmdiag"}, {"Batch", "batch"}};
    BatchCampaign campaign(s);
    const WindowContext context{services, campaign, {}};
    for (const auto& [form, name] : windows) {
        QWidget* window = create_window(form, s, &main, &context);
        ASSERT_NE(window, nullptr);
        window->show();
        EXPECT_TRUE(window->grab().save(out + "/" + name + ".png")) << name;
        window->close();
    }
}

TEST(ModelRunWindowTexts, ElapsedAndExitStatus) {
    EXPECT_EQ(elapsed_text(0), "Elapsed time: 0:00");
    EXPECT_EQ(elapsed_text(59999), "Elapsed time: 0:59");
    EXPECT_EQ(elapsed_text(61000), "Elapsed time: 1:01");
    EXPECT_EQ(elapsed_text(3600000), "Elapsed time: 60:00");
}

TEST(ModelRunWindowTexts, HowTheRunEnded) {
    auto facts = [](std::optional<int> status, std::optional<int> signal, runs::StopReason stopped,
                    std::string failure) {
        runs::RunFacts f;
        f.was_started = true;
        f.exit_status = status;
        f.signal = signal;
        f.stopped = stopped;
        f.failure = std::move(failure);
        return f;
    };
    runs::RunFacts not_started;
    not_started.failure = "the model could not be started (error 75: Permission denied)";
    const struct {
        runs::RunFacts facts;
        const char* text;
    } rows[] = {
        {facts(2, {}, runs::StopReason::none, ""), "Finished, exit status 2"},
        {facts({}, 11, runs::StopReason::none, ""),
         "Finished, ended by signal 11 (Segmentation fault)"},
        {facts({}, 15, runs::StopReason::user, ""),
         "Stopped by the user, ended by signal 15 (Terminated)"},
        {facts(0, {}, runs::StopReason::none,
               "the model ended with exit status 0 but did not write its message file m"),
         "Failed: the model ended with exit status 0 but did not write its message file m"},
        {not_started, "The model could not be started (error 75: Permission denied)"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(run_status_text(row.facts).toStdString(), row.text);
    EXPECT_EQ(dropped_lines_text(5, "/m/out.log").toStdString(),
              "5 earlier lines are not shown: the window keeps the last 10000. The whole output "
              "is in /m/out.log.");
}

}  // namespace
}  // namespace qv
