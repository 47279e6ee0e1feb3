#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>

#include "dialogs/batch/slurm_submit_dialog.h"
#include "region_sources_fixture.h"
#include "shell/qvopt_client.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// A stand-in for sbatch: it keeps its arguments and prints a job id as `sbatch --parsable`
// does, or refuses as sbatch does when QV_FAKE_SBATCH_REFUSES is set.
constexpr const char* fake_sbatch = R"(#!/bin/sh
printf '%s\n' "$@" > "$(dirname "$0")/sbatch.args"
if [ -n "$QV_FAKE_SBATCH_REFUSES" ]; then
  echo "sbatch: error: invalid partition specified: $QV_FAKE_SBATCH_REFUSES" >&2
  exit 1
fi
echo "4242;cluster"
)";

// Sets an environment variable for the life of the object.
class EnvFor {
  public:
    EnvFor(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvFor() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    EnvFor(const EnvFor&) = delete;
    EnvFor& operator=(const EnvFor&) = delete;

  private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

class SlurmSubmitTest : public DemoDbTest {
  protected:
    SlurmSubmitTest() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString((dir.path() / "settings").string()));
        const std::string sbatch = dir.write("bin/sbatch", fake_sbatch);
        fs::permissions(sbatch, fs::perms::owner_all);
        list = dir.write("model/campaign.txt", "# one scenario\ndemo.opt\n");
    }

    SlurmSubmitDialog* open_dialog(bool force = false) {
        delete window;
        auto* d = new SlurmSubmitDialog(s, qvopt(), list, force);
        window = d;
        d->show();
        return d;
    }
    QvoptCall qvopt() const { return {qvopt_program(), qvopt_common_args(s)}; }
    SlurmSubmitDialog* dialog() const { return static_cast<SlurmSubmitDialog*>(window.data()); }
    // Waits (bounded) until the qvopt the dialog started has ended.
    bool settled() const {
        return QTest::qWaitFor([this] { return window.isNull() || !dialog()->working(); }, 30000);
    }
    QString summary() const { return child<QLabel>("summary")->text(); }
    QString script() const { return child<QPlainTextEdit>("script")->toPlainText(); }
    std::string sbatch_args() const {
        const fs::path p = dir.path() / "bin/sbatch.args";
        return fs::exists(p) ? read_file(p) : std::string("(sbatch not run)");
    }

    std::string list;
    EnvFor qvopt_{"QV_QVOPT", QV_BINARY_DIR "/qvopt"};
    EnvFor path_{"PATH",
                 QByteArray::fromStdString((dir.path() / "bin").string()) + ":" + qgetenv("PATH")};
};

struct ArgumentsCase {
    const char* name;
    SlurmFields fields;
    bool force, submit;
    QStringList after_list;
};

void PrintTo(const ArgumentsCase& c, std::ostream* os) {
    *os << c.name;
}

class SlurmArguments : public SlurmSubmitTest,
                       public ::testing::WithParamInterface<ArgumentsCase> {};

TEST_P(SlurmArguments, FollowTheFields) {
    const ArgumentsCase& c = GetParam();
    const QStringList common{"--model-dir", "/m"};
    const QStringList expected =
        common + QStringList{"batch", "slurm", QString::fromStdString(list)} + c.after_list;
    EXPECT_EQ(slurm_arguments(common, list, c.fields, c.force, c.submit), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SlurmArguments,
    ::testing::Values(ArgumentsCase{"SlurmDefaults", {}, false, false, {}},
                      ArgumentsCase{"Every",
                                    {"long", "1-02:00:00", 2, 3},
                                    false,
                                    false,
                                    {"--partition", "long", "--time", "1-02:00:00",
                                     "--cpus-per-task", "2", "--max-parallel", "3"}},
                      ArgumentsCase{"SomeAndForced",
                                    {"", "00:10:00", 0, 4},
                                    true,
                                    false,
                                    {"--time", "00:10:00", "--max-parallel", "4", "--force"}},
                      ArgumentsCase{"Submitted",
                                    {"debug", "", 1, 0},
                                    false,
                                    true,
                                    {"--partition", "debug", "--cpus-per-task", "1", "--submit"}}),
    [](const ::testing::TestParamInfo<ArgumentsCase>& c) { return std::string(c.param.name); });

TEST_F(SlurmSubmitTest, ShowsTheScriptQvoptWritesAndFollowsTheFields) {
    open_dialog();
    EXPECT_EQ(window->windowTitle(), "Submit to Slurm");
    ASSERT_TRUE(settled());
    const std::string script_path = list + ".sbatch";
    ASSERT_TRUE(fs::exists(script_path)) << summary().toStdString();
    EXPECT_EQ(script().toStdString(), read_file(script_path));
    EXPECT_EQ(summary().toStdString(), "wrote " + script_path + ": 1 task(s)");
    EXPECT_NE(script().indexOf("#SBATCH --array=0-0\n"), -1) << script().toStdString();
    EXPECT_TRUE(child<QPushButton>("submit")->isEnabled());

    child<QSpinBox>("max_parallel")->setValue(2);
    child<QLineEdit>("partition")->setText("long");
    ASSERT_TRUE(QTest::qWaitFor([this] { return script().contains("%2"); }, 30000))
        << script().toStdString();
    ASSERT_TRUE(settled());
    EXPECT_NE(script().indexOf("#SBATCH --partition=long\n"), -1) << script().toStdString();
    EXPECT_NE(script().indexOf("#SBATCH --array=0-0%2\n"), -1);
    EXPECT_EQ(sbatch_args(), "(sbatch not run)");
    EXPECT_TRUE(ui.calls().empty());
}

TEST_F(SlurmSubmitTest, ARelativeListIsTakenWhereItWasGiven) {
    const QString start = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString((dir.path() / "model").string()));
    auto* d = new SlurmSubmitDialog(s, qvopt(), "campaign.txt", false);
    window = d;
    QDir::setCurrent(QString::fromStdString(dir.path().string()));
    const bool done = settled();
    QDir::setCurrent(start);
    ASSERT_TRUE(done);
    EXPECT_EQ(summary().toStdString(), "wrote " + list + ".sbatch: 1 task(s)");
    EXPECT_EQ(script().toStdString(), read_file(list + ".sbatch"));
}

TEST_F(SlurmSubmitTest, ARefusedValueShowsQvoptsMessage) {
    open_dialog();
    ASSERT_TRUE(settled());
    child<QLineEdit>("time")->setText("00:30 00");
    click("show_script");
    ASSERT_TRUE(settled());
    const QString refusal = "--time 00:30 00: HH:MM:SS or D-HH:MM:SS is expected";
    EXPECT_EQ(summary(), refusal);
    EXPECT_EQ(script(), "");
    EXPECT_FALSE(child<QPushButton>("submit")->isEnabled());

    // Submitting anyway gets the same refusal as a box, and nothing goes to Slurm.
    dialog()->submit();
    ASSERT_TRUE(settled());
    ASSERT_FALSE(ui.calls().empty());
    EXPECT_EQ(ui.calls()[0].text, refusal.toStdString());
    EXPECT_EQ(ui.calls()[0].icon, Icon::Exclamation);
    EXPECT_EQ(ui.calls()[0].title, s.settings.msgbox_title);
    EXPECT_EQ(ui.busy_depth(), 0);
    EXPECT_TRUE(is_open());
    EXPECT_FALSE(dialog()->submission());
    EXPECT_EQ(sbatch_args(), "(sbatch not run)");
}

TEST_F(SlurmSubmitTest, SubmitReturnsTheJobIdAndTheFieldsAreRemembered) {
    EXPECT_EQ(remembered_slurm_fields(), SlurmFields{});
    open_dialog();
    child<QLineEdit>("partition")->setText("debug");
    child<QLineEdit>("time")->setText(" 00:05:00 ");
    child<QSpinBox>("cpus_per_task")->setValue(2);
    child<QSpinBox>("max_parallel")->setValue(3);
    // Submit while the first script is still being written: it goes once that has ended.
    click("submit");
    ASSERT_TRUE(QTest::qWaitFor([this] { return window.isNull() || !is_open(); }, 30000));
    ASSERT_TRUE(settled());
    ASSERT_TRUE(dialog()->submission());
    EXPECT_EQ(dialog()->submission()->job_id, "4242");
    EXPECT_EQ(dialog()->submission()->script_path, list + ".sbatch");
    EXPECT_EQ(sbatch_args(), "--parsable\n" + list + ".sbatch\n");
    const std::string script = read_file(list + ".sbatch");
    for (const char* line : {"#SBATCH --partition=debug\n", "#SBATCH --time=00:05:00\n",
                             "#SBATCH --cpus-per-task=2\n", "#SBATCH --array=0-0%3\n"})
        EXPECT_NE(script.find(line), std::string::npos) << line << script;
    EXPECT_EQ(ui.busy_depth(), 0);
    EXPECT_TRUE(ui.calls().empty());

    const SlurmFields remembered{"debug", "00:05:00", 2, 3};
    EXPECT_EQ(remembered_slurm_fields(), remembered);
    open_dialog();
    EXPECT_EQ(dialog()->fields(), remembered);
    EXPECT_EQ(child<QLineEdit>("time")->text(), "00:05:00");
    ASSERT_TRUE(settled());
}

TEST_F(SlurmSubmitTest, ARefusalOfSbatchIsShownAndNothingIsRemembered) {
    EnvFor refuses("QV_FAKE_SBATCH_REFUSES", "nosuch");
    open_dialog();
    child<QLineEdit>("partition")->setText("nosuch");
    ASSERT_TRUE(settled());
    dialog()->submit();
    ASSERT_TRUE(settled());
    ASSERT_FALSE(ui.calls().empty());
    EXPECT_EQ(ui.calls()[0].text, "sbatch refused " + list +
                                      ".sbatch: sbatch: error: invalid partition specified: "
                                      "nosuch");
    EXPECT_TRUE(is_open());
    EXPECT_FALSE(dialog()->submission());
    EXPECT_EQ(remembered_slurm_fields(), SlurmFields{});
}

TEST_F(SlurmSubmitTest, SubmitToSlurmReturnsWhatWasSubmittedOrNothingOnCancel) {
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<SlurmSubmitDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        d->findChild<QPushButton*>("submit")->click();
    });
    const auto submitted = submit_to_slurm(s, qvopt(), list, true, nullptr);
    ASSERT_TRUE(submitted);
    EXPECT_EQ(submitted->job_id, "4242");

    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<SlurmSubmitDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        d->findChild<QPushButton*>("cancel")->click();
    });
    EXPECT_EQ(submit_to_slurm(s, qvopt(), list, false, nullptr), std::nullopt);
}

// A real submission to the private cluster that slurm_submit_it.sh starts; skipped elsewhere.
TEST_F(SlurmSubmitTest, RealSlurmRunsTheSubmittedScenario) {
    const QByteArray conf = qgetenv("QV_TEST_SLURM_CONF");
    const QByteArray model = qgetenv("QV_TEST_DEMO_MODEL");
    if (conf.isEmpty() || model.isEmpty())
        GTEST_SKIP() << "QV_TEST_SLURM_CONF and QV_TEST_DEMO_MODEL not set (slurm_submit_it.sh)";
    EnvFor slurm_conf("SLURM_CONF", conf);
    EnvFor seconds("QV_DEMO_MODEL_SECONDS", "0.2");
    fs::remove(dir.path() / "bin/sbatch");
    fs::copy_file(model.toStdString(), dir.path() / "model/qv-demo-model");
    s.settings.model_exe = "qv-demo-model";
    ASSERT_TRUE(slurm_available());

    open_dialog();
    child<QLineEdit>("time")->setText("00:05:00");
    click("submit");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !is_open(); }, 30000));
    ASSERT_TRUE(dialog()->submission()) << testing::PrintToString(ui.messages());
    const std::string id = dialog()->submission()->job_id;
    EXPECT_FALSE(id.empty());
    EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos) << id;

    const fs::path out = dir.path() / "model/outputs/demo.out";
    const fs::path record = dir.path() / "model/outputs/demo.out.run.json";
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(record); }, 90000))
        << "no run record of job " << id;
    EXPECT_TRUE(fs::exists(out));
    EXPECT_TRUE(fs::exists(dir.path() / ("model/campaign.txt.slurm-logs/" + id + "_0.log")));
}

TEST_F(SlurmSubmitTest, AQvoptThatCannotStartIsSaidSo) {
    const std::string missing = (dir.path() / "no-qvopt").string();
    EnvFor qvopt("QV_QVOPT", QByteArray::fromStdString(missing));
    open_dialog();
    ASSERT_TRUE(settled());
    EXPECT_EQ(summary().toStdString(), missing + " could not be started");
    dialog()->submit();
    ASSERT_TRUE(settled());
    EXPECT_EQ(ui.messages(), std::vector<std::string>{missing + " could not be started"});
    EXPECT_EQ(ui.busy_depth(), 0);
    EXPECT_FALSE(dialog()->submission());
}

TEST_F(SlurmSubmitTest, AvailableWhenSbatchIsOnPath) {
    EXPECT_TRUE(slurm_available());
    EnvFor no_slurm("PATH", QByteArray::fromStdString((dir.path() / "model").string()));
    EXPECT_FALSE(slurm_available());
}

}  // namespace
}  // namespace qv::test
