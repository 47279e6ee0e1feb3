#pragma once

#include <QAction>
#include <QLabel>
#include <QWindow>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs/host_file_system.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"
#include "platform/process/posix_processes.h"
#include "platform/program_end.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "shell/qv_gui.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace qv::test {

// A program directory beside a copy of the demo model directory, with the real reference
// database, a scripted Ui and the main window over them. An installed desk is laid out as the
// package puts it: the demo bundled in share/qv-gui/demo with the stand-in model beside the
// program, qv-gui.ini and region.txt in the user's folder home/config, and the demo offered
// for copying into home/demo.
struct Desk {
    explicit Desk(bool installed = false) : installed_(installed) {
        copy_demo_model(dir.path() / "model");
        dir.write("model/qv-demo-model", "");
        s.settings.app_dir = program("app");
        std::filesystem::create_directories(dir.path() / "app");
        if (installed) {
            copy_demo_model(dir.path() / "share/qv-gui/demo/model");
            dir.write("app/qv-demo-model", "stand-in");
            std::filesystem::create_directories(dir.path() / "home/config");
            s.settings.settings_dir = program("home/config");
        }
        gui.use_settings_file(settings_file());
    }
    // qv-gui's own settings (the recent files) of this test.
    QString settings_file() const {
        return QString::fromStdString((dir.path() / "qv-gui.conf").string());
    }
    // The caption as the window system shows it (the modified marker in place of "[*]").
    std::string caption() const {
        return (gui.windowHandle() ? gui.windowHandle()->title() : gui.windowTitle()).toStdString();
    }
    // Start-up leaves the process in the model directory; the next test must not start in a
    // removed directory.
    ~Desk() { std::filesystem::current_path(cwd); }
    std::string program(const std::string& rel) const {
        return host.program_path((dir.path() / rel).lexically_normal().string());
    }
    // qv-gui.ini pointing at the model copy; `lines` replaces the default six lines.
    void ini(std::vector<std::string> lines = {}) {
        if (lines.empty())
            lines = {program("model") + "\t:model directory", "qv-demo-model\t:model executable",
                     "demo.opt\t:input option file",          "demo.opt\t:output option file",
                     program("model/data") + "\t:Data dir",   "\t:ACCESS executable"};
        std::string bytes;
        for (const auto& l : lines)
            bytes += l + "\r\n";
        dir.write("app/qv-gui.ini", bytes);
    }
    std::string log() const { return dir.read("app/region.txt"); }
    // The last n lines of region.txt, joined with CR LF as written.
    std::string log_tail(std::size_t n) const {
        std::string all = log();
        std::size_t at = all.size();
        for (std::size_t i = 0; i <= n && at != std::string::npos; ++i)
            at = at == 0 ? std::string::npos : all.rfind("\r\n", at - 1);
        return at == std::string::npos ? all : all.substr(at + 2);
    }
    std::string summary() const { return gui.findChild<QLabel*>("VerLbl")->text().toStdString(); }
    QAction* action(const char* name) const { return gui.findChild<QAction*>(name); }
    // Runs the start-up sequence; the fini flag of the end, or nullopt when it did not end.
    std::optional<bool> start() {
        try {
            gui.load();
        } catch (const ProgramEnd& e) {
            return e.fini;
        }
        return std::nullopt;
    }

    bool installed_;
    std::filesystem::path cwd = std::filesystem::current_path();
    test::TempDir dir;
    HostFileSystem host;
    test::ScriptedUi ui;
    std::unique_ptr<ReferenceEngine> ref = make_reference_engine();
    Session s{ui, host, *ref};
    QString lock_path = QString::fromStdString((dir.path() / "qv-gui.lock").string());
    std::optional<DemoOffer> demo =
        installed_ ? std::optional<DemoOffer>(DemoOffer{(dir.path() / "share/qv-gui/demo").string(),
                                                        (dir.path() / "app/qv-demo-model").string(),
                                                        (dir.path() / "home/demo").string()})
                   : std::nullopt;
    OpensslHasher hasher;
    PosixModelLauncher launcher;
    PosixProcesses processes;
    QVGui gui{s, {hasher, launcher, processes}, {lock_path, demo}};
};

}  // namespace qv::test
