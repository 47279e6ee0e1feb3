#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "fake_processes.h"
#include "platform/fs/host_file_system.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"
#include "platform/program_end.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "runs/run_record.h"
#include "scenario/options_file.h"
#include "scenario/state_table.h"
#include "shell/batch_campaign.h"
#include "shell/batch_window.h"
#include "shell/qv_gui.h"
#include "shell/qvopt_client.h"
#include "shell/run_record_window.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

constexpr int run_wait_ms = 60000;

// A copy of the demo workspace whose model is a stand-in script: it fails (exit status 7) for
// an options file with a "<file>.fail" marker beside it, and otherwise runs the demo model,
// which takes QV_DEMO_MODEL_SECONDS. Six variants of the demo scenario (CA, NV, OR times 2025,
// 2030), each writing its own files, are made by qvopt batch make.
struct BatchDesk : ::testing::Test {
    const fs::path start_dir = fs::current_path();
    test::TempDir dir;
    fs::path model = dir.path() / "model";
    fs::path camp = dir.path() / "camp";
    HostFileSystem hfs;
    test::ScriptedUi ui;
    std::unique_ptr<ReferenceEngine> ref = make_reference_engine();
    Session s{ui, hfs, *ref};
    const OpensslHasher hasher;
    PosixModelLauncher launcher;
    test::FakeProcesses processes;
    const ShellServices services{hasher, launcher, processes};
    QWidget main;
    std::unique_ptr<BatchCampaign> own;
    BatchCampaign* jobs = nullptr;

    void SetUp() override {
        qputenv("QV_QVOPT", QV_QVOPT_PATH);
        seconds("0.3");
        fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", model,
                 fs::copy_options::recursive);
        fs::copy_file(fs::path(QV_BINARY_DIR) / "tools/demo-model/qv-demo-model",
                      model / "qv-demo-model");
        dir.write("model/stand-in",
                  "#!/bin/sh\n"
                  "if [ -e \"$1.fail\" ]; then echo 'stand-in: failing on purpose' >&2; exit 7; "
                  "fi\n"
                  "exec \"$(dirname \"$0\")/qv-demo-model\" \"$1\"\n");
        fs::permissions(model / "stand-in", fs::perms::owner_all);
        s.settings.msgbox_title = "US KQT QUARVEL MODEL";
        s.settings.app_dir = hfs.program_path(dir.path().string());
        s.settings.model_dir = hfs.program_path(model.string());
        s.settings.model_exe = "stand-in";
        s.settings.data_dir = hfs.program_path((model / "data").string());
        s.log.open_in_memory();
        build_state_table(s.state_table);
        ASSERT_EQ(
            QProcess::execute(
                QV_QVOPT_PATH,
                {"--model-dir", QString::fromStdString(model.string()), "--model-exe", "stand-in",
                 "batch", "make", QString::fromStdString((model / "demo.opt").string()), "--out",
                 QString::fromStdString(camp.string()), "--each-state", "--years", "2025,2030"}),
            0);
        own = std::make_unique<BatchCampaign>(s);
        use(*own);
    }
    void TearDown() override {
        // Every run has ended before the campaign goes, so that no qvopt outlives the test.
        jobs->stop();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !jobs->local_active(); }, 20000));
        own.reset();
        fs::current_path(start_dir);
    }

    void use(BatchCampaign& c) {
        jobs = &c;
        jobs->use_settings_file(settings_file());
    }
    QString settings_file() const {
        return QString::fromStdString((dir.path() / "qv-gui.conf").string());
    }
    BatchWindow* open_window() { return new BatchWindow(s, *jobs, services, &main); }

    static void seconds(const char* value) { qputenv("QV_DEMO_MODEL_SECONDS", value); }
    QString opt(const char* name) const { return QString::fromStdString((camp / name).string()); }
    void fail(const char* name) { dir.write(std::string("camp/") + name + ".fail", ""); }
    void pass(const char* name) { fs::remove(camp / (std::string(name) + ".fail")); }

    // Adds files and waits until qvopt has checked them and read their facts.
    void add(const QStringList& files) {
        const int before = jobs->size();
        jobs->add_files(files);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->checking(); }, 20000));
        ASSERT_EQ(jobs->size(), before + files.size());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (int i = 0; i < jobs->size(); ++i)
                    if (jobs->row(i).title.isEmpty())
                        return false;
                return true;
            },
            20000));
    }
    std::vector<RowState> states() const {
        std::vector<RowState> out;
        for (int i = 0; i < jobs->size(); ++i)
            out.push_back(jobs->row(i).state);
        return out;
    }
    // Starts a run and waits (bounded) until nothing is queued or running.
    void run_to_end(bool force) {
        jobs->run(force);
        ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->local_active(); }, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->local_active(); }, run_wait_ms));
    }
    // The message and output files of a variant (the save of a run writes their names in
    // lower case).
    bool written(const char* base) const {
        return fs::exists(hfs.host_path((camp / (std::string(base) + ".OUT")).string())) &&
               fs::exists(hfs.host_path((camp / (std::string(base) + ".MSG")).string()));
    }
};

TEST_F(BatchDesk, AddedFilesShowTheirFactsAndADuplicateOutputIsRefusedAsQvoptRefusesIt) {
    add({opt("CA2025.opt"), opt("NV2030.opt")});
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::never_run, RowState::never_run}));
    EXPECT_EQ(jobs->row(0).title, "DEMO SCENARIO");
    EXPECT_EQ(jobs->row(0).region, "STATE, 1");
    EXPECT_EQ(BatchTable::state_text(jobs->row(1)), "never run");
    EXPECT_TRUE(jobs->modified());
    EXPECT_TRUE(ui.messages().empty());

    // A copy writes the same files as its original: refused, the campaign stays as it was.
    fs::copy_file(camp / "CA2025.opt", camp / "COPY.opt");
    jobs->add_files({opt("COPY.opt")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->checking(); }, 20000));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(jobs->size(), 2);
    const std::string refusal = ui.messages()[0];
    EXPECT_NE(refusal.find("line 1 ("), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("line 3 ("), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("would both write"), std::string::npos) << refusal;

    // Opening a list with the same clash gives qvopt batch run's refusal word for word.
    const std::string list = (dir.path() / "clash.txt").string();
    std::ofstream(list) << "# two of a kind\n"
                        << (camp / "CA2025.opt").string() << "\n"
                        << (camp / "COPY.opt").string() << "\n";
    QProcess qvopt;
    qvopt.start(QV_QVOPT_PATH, {"--model-dir", QString::fromStdString(model.string()), "batch",
                                "run", QString::fromStdString(list)});
    ASSERT_TRUE(qvopt.waitForFinished(20000));
    QString expected = QString::fromUtf8(qvopt.readAllStandardError()).trimmed();
    ASSERT_TRUE(expected.startsWith("qvopt batch run: ")) << expected.toStdString();
    expected = expected.mid(17);
    jobs->open_list(QString::fromStdString(list));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->checking(); }, 20000));
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[1], expected.toStdString());
    EXPECT_EQ(jobs->size(), 2);
}

TEST_F(BatchDesk, TwoWorkersRunTheRowsQueuedRunningDoneAndOneFailed) {
    seconds("1");
    fail("OR2025.opt");
    add({opt("CA2025.opt"), opt("NV2025.opt"), opt("OR2025.opt"), opt("CA2030.opt")});
    jobs->set_workers(2);
    // Every state each row passes through, in order.
    std::map<int, std::vector<RowState>> seen;
    auto note = [&] {
        for (int i = 0; i < jobs->size(); ++i) {
            auto& v = seen[i];
            if (v.empty() || v.back() != jobs->row(i).state)
                v.push_back(jobs->row(i).state);
        }
    };
    QObject::connect(jobs->table(), &QAbstractItemModel::dataChanged, jobs, note);
    int most_running = 0;
    bool two_and_two = false;  // two running while two waited
    QObject::connect(jobs, &BatchCampaign::progressChanged, jobs, [&] {
        most_running = std::max(most_running, jobs->running_count());
        two_and_two |= jobs->running_count() == 2 && jobs->queued_count() == 2;
    });
    run_to_end(false);

    EXPECT_EQ(most_running, 2);
    EXPECT_TRUE(two_and_two);
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::done, RowState::done, RowState::failed,
                                               RowState::done}));
    for (int i : {0, 1, 3})
        EXPECT_EQ(seen[i].back(), RowState::done) << i;
    // Every row went from never run through queued and running to its end.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[i], (std::vector<RowState>{RowState::never_run, RowState::queued,
                                                  RowState::running, jobs->row(i).state}))
            << i;
    }
    EXPECT_EQ(BatchTable::state_text(jobs->row(2)), "failed: exit status 7");
    for (const char* base : {"CA2025", "NV2025", "CA2030"})
        EXPECT_TRUE(written(base)) << base;
    EXPECT_FALSE(written("OR2025"));
    // Parallel runs never write the model directory's batch file, which they would share.
    EXPECT_FALSE(fs::exists(model / "quarvel.bat"));
    EXPECT_EQ(jobs->finished_count(), 4);
    for (int i : {0, 1, 3}) {
        EXPECT_GT(jobs->row(i).output_size, 0) << i;
        EXPECT_TRUE(jobs->row(i).last_run.isValid()) << i;
        ASSERT_TRUE(jobs->row(i).duration_ms) << i;
        EXPECT_GE(*jobs->row(i).duration_ms, 900) << i;
    }
}

TEST_F(BatchDesk, RunSkipsUpToDateRowsRunAllRunsThemAndRerunFailedRunsOnlyTheFailed) {
    fail("NV2025.opt");
    add({opt("CA2025.opt"), opt("NV2025.opt")});
    run_to_end(false);
    ASSERT_EQ(states(), (std::vector<RowState>{RowState::done, RowState::failed}));
    const QDateTime first_run = jobs->row(0).last_run;

    // Again: the first is up to date and skipped; the failed one runs (and fails) again.
    run_to_end(false);
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::up_to_date, RowState::failed}));
    EXPECT_TRUE(jobs->row(0).skipped);
    EXPECT_EQ(jobs->row(0).last_run, first_run);
    EXPECT_EQ(jobs->finished_count(), 2);

    // Rerun failed, now that the model gets through: only the failed row runs.
    pass("NV2025.opt");
    jobs->rerun_failed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->local_active(); }, 20000));
    EXPECT_EQ(jobs->row(0).state, RowState::up_to_date);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->local_active(); }, run_wait_ms));
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::up_to_date, RowState::done}));
    EXPECT_EQ(jobs->row(0).last_run, first_run);

    // Run all, even up to date.
    run_to_end(true);
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::done, RowState::done}));
    EXPECT_GT(jobs->row(0).last_run, first_run);
}

TEST_F(BatchDesk, StopAsksThenEndsTheRunningModelsAndKeepsTheQueuedOnesFromStarting) {
    seconds("60");
    add({opt("CA2025.opt"), opt("NV2025.opt")});
    auto* window = open_window();
    window->show();
    auto* workers = window->findChild<QSpinBox*>("spnWorkers");
    ASSERT_NE(workers, nullptr);
    workers->setValue(1);
    window->findChild<QPushButton*>("cmdRun")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->running_count() == 1; }, 20000));
    EXPECT_EQ(jobs->queued_count(), 1);
    // The model runs (its console log is there), so the stop is recorded.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const auto& e : fs::directory_iterator(camp))
                if (QString::fromStdString(e.path().filename().string()).toLower() ==
                    "ca2025.out.log")
                    return true;
            return false;
        },
        20000));

    auto* stop = window->findChild<QPushButton*>("cmdStop");
    ASSERT_TRUE(stop->isEnabled());
    ui.answer(Button::No);
    stop->click();
    EXPECT_EQ(jobs->running_count(), 1);
    ui.answer(Button::Yes);
    stop->click();
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[0].rfind("Stop the batch runs?", 0), 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->local_active(); }, 20000));
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::stopped, RowState::never_run}));
    EXPECT_FALSE(written("CA2025"));
    EXPECT_FALSE(stop->isEnabled());
    window->close();

    // After a restart the row still reads as stopped, without the size of an older output.
    dir.write("camp/ca2025.out", "an older output");
    BatchCampaign later(s);
    later.add_files({opt("CA2025.opt")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !later.checking(); }, 20000));
    ASSERT_EQ(later.size(), 1);
    EXPECT_EQ(BatchTable::state_text(later.row(0)), "stopped");
    EXPECT_EQ(later.row(0).output_size, -1);
}

// A running row's Stop ends that run alone.
TEST_F(BatchDesk, ARowsStopEndsThatRunAlone) {
    seconds("60");
    add({opt("CA2025.opt"), opt("NV2025.opt")});
    jobs->set_workers(2);
    auto* window = open_window();
    jobs->run(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->running_count() == 2; }, 20000));
    ui.answer(Button::Yes);
    window->stop_row(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->row(0).state == RowState::stopped; }, 20000));
    EXPECT_EQ(jobs->row(1).state, RowState::running);
    EXPECT_EQ(ui.messages().at(0).rfind("Stop the run of ", 0), 0u);
    window->close();
}

// Variants made from a template say what they vary in Title 2 and in the Varies column: from
// the template the list names, else from the campaign's first scenario.
TEST_F(BatchDesk, TitlesAndVariesTellTheVariantsApart) {
    auto cell = [&](int row, int col) {
        return jobs->table()->data(jobs->table()->index(row, col)).toString();
    };
    auto facts_read = [&] {
        return QTest::qWaitFor(
            [&] {
                for (int i = 0; i < jobs->size(); ++i)
                    if (jobs->row(i).title.isEmpty())
                        return false;
                return !jobs->checking();
            },
            20000);
    };
    jobs->open_list(opt("campaign.txt"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->size() == 6 && !jobs->checking(); }, 20000));
    ASSERT_TRUE(facts_read());
    std::map<QString, std::pair<QString, QString>> seen;
    for (int i = 0; i < jobs->size(); ++i)
        seen[cell(i, BatchTable::file_col)] = {cell(i, BatchTable::title_col),
                                               cell(i, BatchTable::varies_col)};
    const std::map<QString, std::pair<QString, QString>> expected = {
        {"CA2025.opt", {"DEMO SCENARIO / CA 2025", "region: CA"}},
        {"CA2030.opt", {"DEMO SCENARIO / CA 2030", "region: CA; year 2030"}},
        {"NV2025.opt", {"DEMO SCENARIO / NV 2025", "region: NV"}},
        {"NV2030.opt", {"DEMO SCENARIO / NV 2030", "region: NV; year 2030"}},
        {"OR2025.opt", {"DEMO SCENARIO / OR 2025", "region: OR"}},
        {"OR2030.opt", {"DEMO SCENARIO / OR 2030", "region: OR; year 2030"}},
    };
    EXPECT_EQ(seen, expected);

    // A campaign of its own: the first row is the base, and removing it changes the base.
    own = std::make_unique<BatchCampaign>(s);
    use(*own);
    add({opt("CA2025.opt"), opt("NV2030.opt"), opt("NV2025.opt")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return cell(1, BatchTable::varies_col) != ""; }, 20000));
    EXPECT_EQ(cell(0, BatchTable::varies_col), "");
    EXPECT_EQ(cell(1, BatchTable::varies_col), "region: NV; year 2030");
    jobs->remove_rows({0});
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return cell(1, BatchTable::varies_col) == "year 2025"; }, 20000));
    EXPECT_EQ(cell(0, BatchTable::varies_col), "");
}

TEST_F(BatchDesk, ClosingTheWindowKeepsTheRunsAndReopeningShowsThem) {
    seconds("1.5");
    add({opt("CA2025.opt"), opt("NV2025.opt"), opt("OR2025.opt")});
    QPointer<BatchWindow> window = open_window();
    ASSERT_EQ(window->jobs(), jobs);
    window->show();
    window->findChild<QPushButton*>("cmdRun")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->running_count() > 0; }, 20000));
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 5000));
    EXPECT_TRUE(jobs->local_active());
    EXPECT_TRUE(ui.messages().empty());

    auto* again = open_window();
    again->show();
    EXPECT_EQ(again->jobs(), jobs);
    EXPECT_EQ(again->findChild<QTableView*>("BatchTable")->model()->rowCount(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->local_active(); }, run_wait_ms));
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::done, RowState::done, RowState::done}));
    again->close();
}

TEST_F(BatchDesk, EnterAndTheContextMenuOpenTheRunsFiles) {
    add({opt("CA2025.opt")});
    run_to_end(false);
    auto* window = open_window();
    window->show();
    auto* table = window->findChild<QTableView*>("BatchTable");
    table->setFocus();
    table->setCurrentIndex(jobs->table()->index(0, 0));
    QTest::keyClick(table, Qt::Key_Return);
    window->view_console_log(0);
    ASSERT_EQ(processes.starts.size(), 2u);
    EXPECT_EQ(processes.starts[0].args, std::vector<std::string>{(camp / "ca2025.msg").string()});
    EXPECT_EQ(processes.starts[1].args,
              std::vector<std::string>{(camp / "ca2025.out.log").string()});

    // The run record in the Run Record window.
    window->show_run_record(0);
    auto* record = main.findChild<RunRecordWindow*>("RunRecord");
    ASSERT_NE(record, nullptr);
    const QString facts = record->findChild<QLabel*>("RecordFacts")->text();
    EXPECT_TRUE(facts.startsWith("Record: " +
                                 QString::fromStdString((camp / "ca2025.out.run.json").string())))
        << facts.toStdString();
    EXPECT_TRUE(facts.contains("End: exit status 0")) << facts.toStdString();
    record->close();

    // Open in main window reads the scenario as File > Open does.
    window->open_in_main_window(0);
    EXPECT_EQ(s.sc.option_file_name, "CA2025.opt");
    EXPECT_EQ(s.sc.title1str, "DEMO SCENARIO");
    EXPECT_FALSE(s.read_incomplete);
    window->close();
}

TEST_F(BatchDesk, AddFilesTakesWhatTheChooserGives) {
    auto* window = open_window();
    window->show();
    ui.choose(hfs.program_path(opt("NV2025.opt").toStdString()));
    window->findChild<QPushButton*>("cmdAdd")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->size() == 1 && !jobs->checking(); }, 20000));
    ASSERT_EQ(ui.calls().size(), 1u);
    EXPECT_EQ(ui.calls()[0].kind, "open_file");
    EXPECT_EQ(ui.calls()[0].request.filter, "Option files (*.opt)|*.opt|All files (*.*)|*.*");
    EXPECT_EQ(jobs->row(0).path, opt("NV2025.opt"));
    EXPECT_EQ(jobs->table()->data(jobs->table()->index(0, BatchTable::file_col)).toString(),
              "NV2025.opt");

    // Cancelled: nothing changes.
    ui.cancel_chooser();
    window->findChild<QPushButton*>("cmdAdd")->click();
    EXPECT_EQ(jobs->size(), 1);
    EXPECT_FALSE(jobs->checking());
    window->close();
}

TEST_F(BatchDesk, ASavedListIsRememberedAndReopened) {
    add({opt("CA2025.opt"), opt("OR2030.opt")});
    const QString list = QString::fromStdString((camp / "mine.txt").string());
    ASSERT_TRUE(jobs->save_list(list));
    EXPECT_FALSE(jobs->modified());
    EXPECT_EQ(test::read_file(camp / "mine.txt"), "CA2025.opt\nOR2030.opt\n");

    BatchCampaign later(s);
    later.use_settings_file(settings_file());
    later.restore_last_campaign();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !later.checking(); }, 20000));
    ASSERT_EQ(later.size(), 2);
    EXPECT_EQ(later.list_path(), list);
    EXPECT_EQ(later.row(1).written, "OR2030.opt");
    EXPECT_EQ(later.row(1).state, RowState::never_run);
}

// Slurm, as batch status sees it: a stand-in squeue on PATH reports the tasks of the
// campaign's job script that qvopt batch slurm wrote.
TEST_F(BatchDesk, SlurmTasksShowQueuedAndRunningAlsoWhenReopenedAndTheirEndAsDone) {
    add({opt("CA2025.opt"), opt("NV2025.opt")});
    const std::string list = (camp / "cluster.txt").string();
    ASSERT_TRUE(jobs->save_list(QString::fromStdString(list)));
    ASSERT_EQ(
        QProcess::execute(QV_QVOPT_PATH,
                          {"--model-dir", QString::fromStdString(model.string()), "--model-exe",
                           "stand-in", "batch", "slurm", QString::fromStdString(list)}),
        0);
    const std::string queue = dir.write(
        "squeue.txt", "77|0|RUNNING|" + list + ".sbatch\n" + "77|1|PENDING|" + list + ".sbatch\n");
    dir.write("bin/squeue", "#!/bin/sh\ncat '" + queue + "'\n");
    fs::permissions(dir.path() / "bin/squeue", fs::perms::owner_all);
    // Written whole, then renamed, so the wait below never sees an empty file.
    dir.write("bin/scancel",
              "#!/bin/sh\nd=\"$(dirname \"$0\")\"\necho \"$@\" > \"$d/scancel.tmp\" "
              "&& mv \"$d/scancel.tmp\" \"$d/scancel.args\"\n");
    fs::permissions(dir.path() / "bin/scancel", fs::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString((dir.path() / "bin").string()) + ":" + path);

    jobs->follow_slurm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->slurm_active() && !jobs->checking(); }, 20000));
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::running, RowState::queued}));
    EXPECT_EQ(BatchTable::state_text(jobs->row(0)), "running (Slurm 77_0)");
    EXPECT_EQ(BatchTable::state_text(jobs->row(1)), "queued (Slurm 77_1)");
    EXPECT_FALSE(jobs->local_active());
    // A task is cancelled by its id from the window.
    jobs->cancel_slurm_task(1);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return fs::exists(dir.path() / "bin/scancel.args"); }, 20000));
    EXPECT_EQ(test::read_file(dir.path() / "bin/scancel.args"), "77_1\n");

    // The campaign opened again later shows them the same way.
    BatchCampaign later(s);
    later.use_settings_file(settings_file());
    later.open_list(QString::fromStdString(list));
    ASSERT_TRUE(QTest::qWaitFor([&] { return later.size() == 2 && !later.checking(); }, 20000));
    EXPECT_EQ(BatchTable::state_text(later.row(1)), "queued (Slurm 77_1)");

    // The first task ends on the cluster (here: run by qvopt), the second leaves the queue.
    ASSERT_EQ(
        QProcess::execute(QV_QVOPT_PATH, {"--model-dir", QString::fromStdString(model.string()),
                                          "--model-exe", "stand-in", "run", opt("CA2025.opt")}),
        0);
    dir.write("squeue.txt", "");
    jobs->follow_slurm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->slurm_active() && !jobs->checking(); }, 20000));
    qputenv("PATH", path);
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::done, RowState::never_run}));
    EXPECT_TRUE(jobs->row(0).last_run.isValid());
}

// qv-gui with the main window: the Batch menu, and ending while runs go on.
struct BatchMainWindow : BatchDesk {
    QVGui gui{s, services};
    void SetUp() override {
        BatchDesk::SetUp();
        use(gui.batch());
    }
};

TEST_F(BatchMainWindow, RunBatchOpensTheWindowAndEndingQvGuiAsksFirst) {
    seconds("60");
    add({opt("CA2025.opt"), opt("NV2025.opt")});
    jobs->set_workers(1);
    gui.show();
    QAction* run_batch = gui.findChild<QAction*>("MnuBatch1");
    ASSERT_TRUE(run_batch && run_batch->isEnabled());
    run_batch->trigger();
    auto* window = gui.findChild<BatchWindow*>("Batch");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->jobs(), jobs);
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->running_count() == 1; }, 20000));

    // No keeps qv-gui open, and the runs going.
    ui.answer(Button::No);
    EXPECT_FALSE(gui.close());
    EXPECT_TRUE(gui.isVisible());
    EXPECT_TRUE(jobs->local_active());
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0],
              "Batch runs are still going on: 1 running, 1 queued.\n\nStop them and end qv-gui? "
              "Their models are ended; their message and output files may be incomplete.");
    EXPECT_EQ(ui.calls().back().icon, Icon::Question);
    EXPECT_EQ(ui.calls().back().buttons, Buttons::YesNoDefaultNo);

    // Yes stops them and ends; nothing waits for them to end.
    ui.answer(Button::Yes);
    EXPECT_THROW(gui.findChild<QAction*>("MnuExit")->trigger(), ProgramEnd);
    EXPECT_EQ(jobs->queued_count(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !jobs->local_active(); }, 20000));
    EXPECT_EQ(jobs->row(0).state, RowState::stopped);
    EXPECT_FALSE(written("CA2025"));
}

// Unsaved changes while runs go on: one question covers both, and No ends without saving.
TEST_F(BatchMainWindow, OneQuestionCoversUnsavedChangesAndRuns) {
    seconds("60");
    add({opt("CA2025.opt")});
    gui.show();
    gui.findChild<QAction*>("MnuBatch1")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->running_count() == 1; }, 20000));
    ASSERT_TRUE(read_options_file_at(s, hfs.program_path((camp / "NV2025.opt").string())));
    s.sc.title1str = "EDITED";
    s.sc.options_changed = true;
    ui.clear();
    ui.answer(Button::No);
    EXPECT_THROW(gui.findChild<QAction*>("MnuExit")->trigger(), ProgramEnd);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.calls()[0].buttons, Buttons::YesNoCancel);
    EXPECT_NE(ui.messages()[0].find("NV2025.opt.\nSave them before closing?\n\nBatch runs are "
                                    "still going on: 1 running, 0 queued."),
              std::string::npos)
        << ui.messages()[0];
    // Going on stops the run: its qvopt is asked to end and the row ends without a wait here.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !jobs->local_active(); }, 20000));
}

TEST_F(BatchMainWindow, OpenInMainWindowIsRefusedWhileAnEditingWindowIsOpen) {
    add({opt("CA2025.opt")});
    gui.show();
    gui.open_form("Options");
    auto* window = qobject_cast<BatchWindow*>(gui.open_form("Batch"));
    ASSERT_NE(window, nullptr);
    const std::string before = s.sc.option_file_name;
    window->open_in_main_window(0);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0], "Close the open windows before opening another options file.");
    EXPECT_EQ(s.sc.option_file_name, before);
}

// qvopt batch run and the Batch window run a campaign alike: each scenario ends the same way,
// with the same record and the same files.
TEST_F(BatchDesk, TheWindowRunsACampaignAsQvoptBatchRunDoes) {
    fail("OR2025.opt");
    const std::string list = dir.write("camp/three.txt", "CA2025.opt\nNV2025.opt\nOR2025.opt\n");
    const char* names[] = {"CA2025", "NV2025", "OR2025"};

    // With the configuration the window gives every qvopt it starts.
    QProcess qvopt;
    qvopt.start(QV_QVOPT_PATH, qvopt_common_args(s) + QStringList{"batch", "run", "-j", "2",
                                                                  QString::fromStdString(list)});
    ASSERT_TRUE(qvopt.waitForFinished(run_wait_ms));
    // "CA2025.opt: succeeded (0.3 s, exit status 0)": the result, then how the run ended.
    std::map<std::string, std::pair<std::string, std::string>> said;
    for (const QString& line : QString::fromUtf8(qvopt.readAllStandardOutput()).split('\n')) {
        const QRegularExpressionMatch m =
            QRegularExpression("^(\\w+)\\.opt: (\\w+) \\([^,]*, (.*)\\)$").match(line);
        if (m.hasMatch())
            said[m.captured(1).toStdString()] = {m.captured(2).toStdString(),
                                                 m.captured(3).toStdString()};
    }
    ASSERT_EQ(said.size(), 3u);
    EXPECT_EQ(said["OR2025"], (std::pair<std::string, std::string>{"failed", "exit status 7"}));
    std::map<std::string, runs::RunRecord> records;
    std::map<std::string, std::string> outputs;
    auto record_of = [&](const std::string& base) {
        return runs::parse_record(
            test::read_file(hfs.host_path((camp / (base + ".out.run.json")).string())));
    };
    for (const std::string base : {"CA2025", "NV2025"})
        outputs[base] = test::read_file(hfs.host_path((camp / (base + ".OUT")).string()));
    for (const std::string base : names)
        records[base] = record_of(base);

    jobs->open_list(QString::fromStdString(list));
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs->size() == 3 && !jobs->checking(); }, 20000));
    jobs->set_workers(2);
    run_to_end(true);
    for (int i = 0; i < 3; ++i) {
        const std::string base = names[i];
        const BatchRow& r = jobs->row(i);
        EXPECT_EQ(r.state == RowState::done ? "succeeded" : "failed", said[base].first) << base;
        EXPECT_EQ(r.end.toStdString(), said[base].second) << base;
        const runs::RunRecord a = records[base], b = record_of(base);
        EXPECT_EQ(b.program_name, a.program_name) << base;
        EXPECT_EQ(b.command_line, a.command_line) << base;
        EXPECT_EQ(b.working_dir, a.working_dir) << base;
        EXPECT_EQ(b.exit_status, a.exit_status) << base;
        EXPECT_EQ(b.signal, a.signal) << base;
        EXPECT_EQ(b.failure, a.failure) << base;
        ASSERT_EQ(b.files().size(), a.files().size()) << base;
        for (std::size_t f = 0; f < a.files().size(); ++f) {
            EXPECT_EQ(b.files()[f]->path, a.files()[f]->path) << base;
            // The save before each run writes its time into the options file's first line.
            if (a.files()[f]->role != "options file") {
                EXPECT_EQ(b.files()[f]->sha256, a.files()[f]->sha256) << b.files()[f]->path;
            }
        }
    }
    for (const auto& [base, text] : outputs)
        EXPECT_EQ(test::read_file(hfs.host_path((camp / (base + ".OUT")).string())), text);
    EXPECT_FALSE(fs::exists(model / "quarvel.bat"));
}

// A scenario whose run another program holds is shown running, and Run leaves it alone until
// that run has ended. Here a stand-in qvopt reports it so while "<file>.elsewhere" exists.
TEST_F(BatchDesk, ARowRunningElsewhereShowsRunningAndIsNeverStartedHere) {
    const std::string stand_in =
        dir.write("bin/qvopt",
                  "#!/bin/sh\n"
                  "case \" $* \" in *\" status \"*) ;; *) exec \"$QV_REAL_QVOPT\" \"$@\";; esac\n"
                  "\"$QV_REAL_QVOPT\" \"$@\" | while IFS= read -r line; do\n"
                  "  for m in \"$QV_CAMP\"/*.elsewhere; do\n"
                  "    case \"$line\" in *\"\\\"${m%.elsewhere}\\\"\"*)\n"
                  "      line=$(printf '%s' \"$line\" | sed "
                  "'s/\"state\":\"[^\"]*\"/\"state\":\"running\"/');;\n"
                  "    esac\n"
                  "  done\n"
                  "  printf '%s\\n' \"$line\"\n"
                  "done\n"
                  "exit 1\n");
    fs::permissions(stand_in, fs::perms::owner_all);
    qputenv("QV_QVOPT", QByteArray::fromStdString(stand_in));
    qputenv("QV_REAL_QVOPT", QV_QVOPT_PATH);
    qputenv("QV_CAMP", QByteArray::fromStdString(camp.string()));
    dir.write("camp/NV2025.opt.elsewhere", "");

    add({opt("CA2025.opt"), opt("NV2025.opt")});
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::never_run, RowState::running}));
    EXPECT_EQ(BatchTable::state_text(jobs->row(1)), "running");
    run_to_end(true);
    EXPECT_EQ(states(), (std::vector<RowState>{RowState::done, RowState::running}));
    EXPECT_FALSE(written("NV2025"));

    // The other program's run ends: the window sees it at one of its next looks.
    fs::remove(camp / "NV2025.opt.elsewhere");
    EXPECT_TRUE(QTest::qWaitFor([&] { return jobs->row(1).state == RowState::never_run; }, 20000));
}

// The window's thread opens no file that could block it: a remembered list that is a pipe is
// left to qvopt, and the window goes on.
TEST_F(BatchDesk, ARememberedListThatIsAPipeNeverHoldsUpTheWindow) {
    const std::string pipe = (camp / "pipe.txt").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    QSettings(settings_file(), QSettings::IniFormat)
        .setValue("batch/last_list", QString::fromStdString(pipe));
    auto* window = open_window();
    window->show();
    bool turned = false;
    QTimer::singleShot(0, window, [&] { turned = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return turned; }, 5000));
    EXPECT_EQ(jobs->size(), 0);
    window->close();
}

TEST(BatchQuestion, SaysThatSlurmTasksKeepRunning) {
    const QString local = end_with_runs_question(2, 3, false);
    EXPECT_TRUE(local.startsWith("Batch runs are still going on: 2 running, 3 queued."));
    EXPECT_FALSE(local.contains("Slurm"));
    EXPECT_TRUE(end_with_runs_question(1, 0, true)
                    .endsWith("The campaign's tasks submitted to Slurm keep running on the "
                              "cluster."));
}

TEST(BatchTimeLeft, RoundsUpToTheSecond) {
    EXPECT_EQ(time_left_text(0), "0:00:00 left");
    EXPECT_EQ(time_left_text(1), "0:00:01 left");
    EXPECT_EQ(time_left_text(3'725'000), "1:02:05 left");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// docs/screenshots/batch-window.png: the window during a run, its rows in several states.
TEST_F(BatchDesk, Screenshot) {
    const QString out = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "QV_SCREENSHOT_DIR is not set";
    add({opt("OR2030.opt")});
    run_to_end(false);
    jobs->remove_rows({0});
    seconds("4");
    fail("CA2025.opt");
    // The campaign as Make variants wrote it: what each row varies from the template.
    jobs->open_list(opt("campaign.txt"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return jobs->size() == 6 && !jobs->checking() && !jobs->row(5).varies.isEmpty(); },
        20000));
    auto* window = open_window();
    window->resize(1280, 330);
    window->findChild<QSpinBox*>("spnWorkers")->setValue(2);
    window->show();
    window->findChild<QPushButton*>("cmdRun")->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return jobs->row(1).state == RowState::done && jobs->running_count() == 2; },
        run_wait_ms));
    // The running rows' clocks show a second or more.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return BatchTable::state_text(jobs->row(3)) == "running 0:00:02" ||
                   jobs->row(3).state != RowState::running;
        },
        run_wait_ms));
    QDir().mkpath(out);
    EXPECT_TRUE(window->grab().save(out + "/batch-window.png"));
    window->close();
}

}  // namespace
}  // namespace qv
