#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPixmap>
#include <QSettings>
#include <QSpinBox>

#include "dialogs/batch/make_variants_dialog.h"
#include "dialogs/batch/slurm_submit_dialog.h"
#include "region_sources_fixture.h"
#include "shell/qvopt_client.h"

namespace qv::test {
namespace {

class BatchDialogScreenshots : public DemoDbTest {
  protected:
    void save(const char* name) {
        QApplication::processEvents();
        const QString path = qEnvironmentVariable("QV_SCREENSHOT_DIR") + "/" + name + ".png";
        EXPECT_TRUE(window->grab().save(path)) << path.toStdString();
    }
};

// Writes the dialogs on the demo workspace as PNG files when QV_SCREENSHOT_DIR names a folder.
TEST_F(BatchDialogScreenshots, SavesBothDialogs) {
    if (qEnvironmentVariableIsEmpty("QV_SCREENSHOT_DIR"))
        GTEST_SKIP() << "QV_SCREENSHOT_DIR not set";
    open<MakeVariantsDialog>();
    click("each_state");
    child<QLineEdit>("years")->setText("2025, 2030");
    save("make-variants");

    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((dir.path() / "settings").string()));
    qputenv("QV_QVOPT", QV_BINARY_DIR "/qvopt");
    const std::string list = dir.write("model/campaign.txt", "demo.opt\n");
    delete window;
    auto* slurm = new SlurmSubmitDialog(s, {qvopt_program(), qvopt_common_args(s)}, list, true);
    window = slurm;
    slurm->show();
    child<QLineEdit>("time")->setText("00:30:00");
    child<QSpinBox>("max_parallel")->setValue(4);
    slurm->show_script();
    ASSERT_TRUE(QTest::qWaitFor([slurm] { return !slurm->working(); }, 30000));
    save("slurm-submit");
    qunsetenv("QV_QVOPT");
}

}  // namespace
}  // namespace qv::test
