#pragma once

#include <gtest/gtest.h>

#include <QWidget>

#include <filesystem>
#include <functional>

#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"
#include "platform/process/posix_processes.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/options_file.h"
#include "scenario/state_table.h"
#include "shell/model_runner.h"
#include "shell/services.h"
#include "support/workspace.h"

namespace qv::test {

namespace fs = std::filesystem;

// A scripted Ui whose event processing, which the run's wait does between polls, can act as the
// user would meanwhile.
class PollingUi : public ScriptedUi {
  public:
    std::function<void(int poll)> on_events;
    void process_events() override {
        ++polls;
        if (on_events)
            on_events(polls);
    }
    int polls = 0;
};

// A copy of the demo workspace with the stand-in model beside the options file, read against
// the demo reference database.
struct DemoRun : ::testing::Test {
    const fs::path start_dir = fs::current_path();
    TempDir dir;
    fs::path model = dir.path() / "model";
    HostFileSystem hfs;
    PollingUi ui;
    std::unique_ptr<ReferenceEngine> ref = make_reference_engine();
    test::RecordingView view;
    Session s{ui, hfs, *ref};
    PosixProcesses processes;
    OpensslHasher hasher;
    PosixModelLauncher launcher;
    ShellServices services{hasher, launcher, processes};
    QWidget main;

    void SetUp() override {
        test::copy_demo_model(model, {.no_results = true, .model_program = true});
        test::prepare_session(s);
        s.settings.app_dir = hfs.program_path(dir.path().string());
        s.settings.model_dir = hfs.program_path(model.string());
        s.settings.model_exe = "qv-demo-model";
        s.view = &view;
        test::read_demo_scenario(s);
        ASSERT_TRUE(ui.messages().empty());
    }
    void TearDown() override { fs::current_path(start_dir); }

    template <class T>
    T* child(ModelRunner& runner, const char* name) {
        EXPECT_NE(runner.window(), nullptr);
        return runner.window() ? runner.window()->findChild<T*>(name) : nullptr;
    }
};

}  // namespace qv::test
