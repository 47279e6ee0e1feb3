#pragma once

#include <string>

#include "platform/fs/host_file_system.h"
#include "scenario/session.h"
#include "support/fake_reference.h"
#include "support/option_texts.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace qv::test {

// Records what the document asks of the main window.
class RecordingView : public DocumentView {
  public:
    void set_caption(const std::string& c) override { caption = c; }
    void show_summary() override { ++summaries; }
    std::string caption;
    int summaries = 0;
};

// A session over a temporary model directory (<tmp>/model), with a scripted Ui, a fake
// reference database, the state table built, an in-memory run log and a fixed clock.
struct Workspace {
    Workspace();

    // Writes a file below the temporary directory; returns its path in program form.
    std::string write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const { return dir.read(relative); }
    // Makes the file below the temporary directory the current options file.
    void set_current(const std::string& relative);
    // Writes and reads an options file as the current one.
    void load(const std::string& relative, const std::string& bytes);
    // Registers the county query answer for a code.
    void county(const std::string& code, const std::string& name);
    // Registers the source query answer for a code.
    void source(const std::string& scc, const std::string& equip, const std::string& cls,
                const std::string& engine);
    std::string program(const std::string& relative) const;

    TempDir dir;
    HostFileSystem fs;
    ScriptedUi ui;
    FakeReference ref;
    RecordingView view;
    Session s{ui, fs, ref};
};

// Sets a session up as start-up would for a test: the message-box title, an in-memory run log,
// a fixed clock ("12/9/2026 1:02:03 PM") and the state table.
void prepare_session(Session& s);
// Reads demo.opt from the session's model_dir as the current scenario.
void read_demo_scenario(Session& s);

// Joins lines with CR LF (and one after the last).
std::string crlf(std::initializer_list<std::string> lines);

}  // namespace qv::test
