#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLabel>
#include <QStandardPaths>
#include <filesystem>

#include "platform/fs/user_config.h"
#include "shell/about_window.h"
#include "shell/command_line.h"
#include "shell/desk.h"
#include "shell/viewers.h"
#include "support/workspace.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::crlf;
using test::Desk;

const std::string question_start =
    "This is the first start of qv-gui. Start with the demo workspace?";

// Yes copies the demo into the user's data folder, writes qv-gui.ini there and opens the demo;
// nothing is written beside the executable.
TEST(FirstStart, InstalledCopyOffersTheDemoAndYesOpensIt) {
    Desk d(true);
    d.ui.answer(Button::Yes);
    EXPECT_EQ(d.start(), std::nullopt);
    ASSERT_FALSE(d.ui.calls().empty());
    const auto& ask = d.ui.calls()[0];
    EXPECT_EQ(ask.text, question_start + "\n\nYes copies it to " + d.program("home/demo/model") +
                            " and opens its options file demo.opt.\nNo asks for the model, the "
                            "options files and the data directory.");
    EXPECT_EQ(ask.title, std::optional<std::string>("US KQT QUARVEL MODEL"));
    EXPECT_EQ(ask.icon, Icon::Question);
    EXPECT_EQ(ask.buttons, Buttons::YesNo);
    EXPECT_EQ(d.ui.calls().size(), 1u);

    const std::string model = d.program("home/demo/model");
    EXPECT_EQ(d.dir.read("home/config/qv-gui.ini"),
              crlf({model + "\t:model directory", "qv-demo-model\t:model executable",
                    "demo.opt\t:input option file", "demo.opt\t:output option file",
                    model + "/data\t:Data dir", "\t:ACCESS executable"}));
    EXPECT_EQ(d.dir.read("home/demo/model/demo.opt"),
              d.dir.read("share/qv-gui/demo/model/demo.opt"));
    EXPECT_TRUE(fs::exists(d.dir.path() / "home/demo/model/reports/reports.mdb"));
    EXPECT_EQ(d.dir.read("home/demo/model/qv-demo-model"), "stand-in");
    EXPECT_TRUE(access((d.dir.path() / "home/demo/model/qv-demo-model").c_str(), X_OK) == 0);
    EXPECT_EQ(d.dir.read("home/config/region.txt").rfind("Starting new run\r\n", 0), 0u);
    EXPECT_EQ(d.caption(), "US KQT QUARVEL MODEL (demo.opt)");
    EXPECT_EQ(d.s.settings.config_path, d.program("home/config") + "/qv-gui.ini");
    EXPECT_TRUE(d.action("MnuRun")->isEnabled());
    for (const char* beside : {"app/qv-gui.ini", "app/region.txt"})
        EXPECT_FALSE(fs::exists(d.dir.path() / beside)) << beside;
}

// A copy already there keeps the user's edits; its model program is the installed one again.
TEST(FirstStart, YesKeepsAnEarlierCopyOfTheDemo) {
    Desk d(true);
    test::copy_demo_model(d.dir.path() / "home/demo/model");
    d.dir.write("home/demo/model/demo.opt", d.dir.read("model/demo.opt") + "* my edit\r\n");
    d.dir.write("home/demo/model/qv-demo-model", "old");
    d.ui.answer(Button::Yes);
    EXPECT_EQ(d.start(), std::nullopt);
    EXPECT_NE(d.dir.read("home/demo/model/demo.opt").find("* my edit"), std::string::npos);
    EXPECT_EQ(d.dir.read("home/demo/model/qv-demo-model"), "stand-in");
}

// No, or a copy that cannot be made, goes on with the first-run prompts as without the demo.
TEST(FirstStart, NoOrAFailedCopyGoesOnWithThePrompts) {
    for (bool copy_fails : {false, true}) {
        Desk d(true);
        if (copy_fails)
            d.dir.write("home/demo", "a file where the folder should be");
        d.ui.answer(copy_fails ? Button::Yes : Button::No);
        d.ui.cancel_chooser();
        EXPECT_EQ(d.start(), std::optional<bool>(false));
        const auto& calls = d.ui.calls();
        ASSERT_EQ(calls.size(), copy_fails ? 4u : 3u);
        if (copy_fails) {
            EXPECT_EQ(calls[1].text.rfind("The demo workspace could not be copied to " +
                                              d.program("home/demo/model") + ":\n",
                                          0),
                      0u)
                << calls[1].text;
            EXPECT_EQ(calls[1].icon, Icon::Exclamation);
        }
        EXPECT_EQ(calls[calls.size() - 2].text, "Select Model");
        EXPECT_EQ(calls.back().text, "Must select Model");
        EXPECT_FALSE(fs::exists(d.dir.path() / "home/config/qv-gui.ini"));
        EXPECT_FALSE(fs::exists(d.dir.path() / "home/demo/model"));
    }
}

// With qv-gui.ini in the user's folder nothing is asked; a copy in a build tree (no bundled
// demo) never asks.
TEST(FirstStart, AskedOnlyWithoutIniAndOnlyForAnInstalledCopy) {
    Desk configured(true);
    configured.ini();
    fs::rename(configured.dir.path() / "app/qv-gui.ini",
               configured.dir.path() / "home/config/qv-gui.ini");
    EXPECT_EQ(configured.start(), std::nullopt);
    EXPECT_TRUE(configured.ui.calls().empty());

    Desk build_tree;
    build_tree.ui.cancel_chooser();
    EXPECT_EQ(build_tree.start(), std::optional<bool>(false));
    EXPECT_EQ(build_tree.ui.calls()[0].text, "Select Model");
}

TEST(UserConfig, PerUserOnlyWhenNotWritableOrInstalled) {
    test::TempDir dir;
    fs::create_directories(dir.path() / "build");
    fs::create_directories(dir.path() / "usr/bin");
    fs::create_directories(dir.path() / "usr/share/qv-gui/demo/model");
    EXPECT_FALSE(keeps_settings_per_user((dir.path() / "build").string()));
    EXPECT_EQ(bundled_demo_dir((dir.path() / "build").string()), "");
    EXPECT_TRUE(keeps_settings_per_user((dir.path() / "usr/bin").string()));
    EXPECT_EQ(bundled_demo_dir((dir.path() / "usr/bin").string()),
              (dir.path() / "usr/share/qv-gui/demo").string());
    if (geteuid() != 0) {  // root may write anywhere
        fs::create_directories(dir.path() / "locked");
        chmod((dir.path() / "locked").c_str(), 0555);
        EXPECT_TRUE(keeps_settings_per_user((dir.path() / "locked").string()));
    }
}

// qvopt finds the per-user folder without Qt: it must be the one qv-gui's Qt gives.
TEST(UserConfig, SameFolderAsQtsApplicationConfigLocation) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("qv-gui");
    // The tests run in Qt's test mode, which moves every location below ~/.qttest.
    QStandardPaths::setTestModeEnabled(false);
    for (const char* value : {"", "/tmp/qv-config-home", "relative/config"}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(user_config_dir(),
                  QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString())
            << value;
    }
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(name);
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(CommandLine, VersionAndHelpAnywhereElseTheWindow) {
    using A = CommandLine::Action;
    const std::pair<std::vector<std::string>, A> rows[] = {
        {{}, A::OpenWindow},
        {{"--version"}, A::PrintVersion},
        {{"--help"}, A::PrintHelp},
        {{"-h"}, A::PrintHelp},
        {{"some", "text", "--version"}, A::PrintVersion},
        {{"--help", "--version"}, A::PrintHelp},
        {{"--versions", "-help", "version"}, A::OpenWindow},
    };
    for (const auto& [args, action] : rows)
        EXPECT_EQ(parse_command_line(args).action, action) << ::testing::PrintToString(args);
    EXPECT_EQ(version_line(), "qv-gui 2008.1.0\n");
}

TEST(About, NamesTheSettingsFolderOnlyWhenNotBesideTheProgram) {
    ShellSettings beside;
    beside.app_dir = "/opt/qv";
    ShellSettings same = beside;
    same.settings_dir = "/opt/qv";
    ShellSettings per_user = beside;
    per_user.settings_dir = "/home/u/.config/qv-gui";
    EXPECT_EQ(settings_place_text(beside), "");
    EXPECT_EQ(settings_place_text(same), "");
    EXPECT_EQ(settings_place_text(per_user), "qv-gui.ini and region.txt in /home/u/.config/qv-gui");

    Desk d(true);
    AboutWindow about(d.s);
    auto* label = about.findChild<QLabel*>("SettingsLbl");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(),
              "qv-gui.ini and region.txt in " + d.program("home/config"));
    Desk plain;
    AboutWindow plain_about(plain.s);
    EXPECT_TRUE(plain_about.findChild<QLabel*>("SettingsLbl")->isHidden());
}

}  // namespace
}  // namespace qv
