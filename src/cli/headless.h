#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/event_report.h"
#include "platform/console/console_ui.h"
#include "platform/fs/host_file_system.h"
#include "platform/program_end.h"
#include "platform/reference_engine.h"
#include "scenario/session.h"

namespace qv::cli {

// The options every qvopt command shares: where the configuration and the model are.
struct CommonOptions {
    std::string config;  // host path; empty: qv-gui.ini where qv-gui keeps it, when present
    std::string model_dir;
    std::string model_exe;
    std::string data_dir;
};

// The directory of the running executable (qvopt's app_dir), as a host path.
std::string executable_dir(const char* argv0);

// Puts the process's current directory back where it was when this was made: reading and
// saving a scenario moves it, and names given on the command line stay relative to where qvopt
// was started.
class KeepCurrentDir {
  public:
    explicit KeepCurrentDir(FileSystem& fs) : fs_(fs), dir_(fs.current_dir()) {}
    ~KeepCurrentDir();
    KeepCurrentDir(const KeepCurrentDir&) = delete;
    KeepCurrentDir& operator=(const KeepCurrentDir&) = delete;

  private:
    FileSystem& fs_;
    std::string dir_;
};

// One pass of the program's logic over one options file, headless: a session set up as the
// program's start sets it up, with the console user interface.
class HeadlessSession {
  public:
    // SHARED, when given, is the reference engine of every session of a command that reads many
    // files (it must outlive them); else the session has one of its own.
    HeadlessSession(const CommonOptions& common, const char* argv0,
                    ReferenceEngine* shared = nullptr);
    ~HeadlessSession();

    // Sets up the session as the program's start does, then reads FILE. False when the program
    // would have ended or would ask for another file (see outcome()).
    bool open(const std::string& file);
    // Sets up the session as the program's start does, without reading a file. False when the
    // program would have ended.
    bool set_up();
    // The first half of open(): the session set up and FILE made the current options file,
    // not yet read.
    bool prepare(const std::string& file);

    // Runs a piece of the program's logic, noting how it ends. False when it ended the program
    // or asked for another options file.
    template <typename F>
    bool step(F&& f) {
        try {
            f();
            return true;
        } catch (const ProgramEnd& end) {
            outcome_.exit = Outcome::Exit::Ended;
            outcome_.fini = end.fini;
        } catch (const ChooserStop&) {
            outcome_.exit = Outcome::Exit::Chooser;
        }
        return false;
    }

    // The exit status that the outcome so far stands for.
    int status() const;
    const Outcome& outcome() const { return outcome_; }
    const std::vector<UiEvent>& events() const { return ui.events(); }

    HostFileSystem fs;
    ConsoleUi ui;

  private:
    // Made before the session that uses it.
    std::unique_ptr<ReferenceEngine> own_reference_;

  public:
    Session s;

  private:
    void configure();

    const CommonOptions& common_;
    const char* argv0_;
    Outcome outcome_;
};

}  // namespace qv::cli
