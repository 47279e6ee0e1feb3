#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/fs.h"
#include "platform/reference_engine.h"
#include "platform/ui.h"
#include "scenario/file_stamp.h"
#include "scenario/run_log.h"
#include "scenario/scenario.h"

namespace qv {

struct ShellSettings {
    std::string app_dir;
    // Where qv-gui.ini and the run log live when that is not app_dir: the per-user
    // configuration folder of a copy that may not write beside itself. Empty: app_dir.
    std::string settings_dir;
    std::string config_path;
    std::string model_dir;
    std::string model_exe;
    std::string data_dir;
    std::string access_exe;
    std::string msgbox_title;

    const std::string& files_dir() const { return settings_dir.empty() ? app_dir : settings_dir; }
};

// What the list dialogs of the advanced menu keep from one visit to the next: each one's
// `cancelled` outlives its window, so that a later close with the close box drops or commits
// according to the last Cancel; and the growth entry last clicked.
struct ListDialogMemory {
    bool geoalloc_cancelled = false;
    bool growth_cancelled = false;
    bool equip_cancelled = false;
    bool emiss_cancelled = false;
    bool deterior_cancelled = false;
    int growth_sel_index = 0;
};

// What the document asks of the main window: its caption and the scenario summary.
class DocumentView {
  public:
    virtual ~DocumentView() = default;
    virtual void set_caption(const std::string& caption) = 0;
    virtual void show_summary() = 0;
};

// One scenario with its settings, run log and the platform services it uses. Readers, writers,
// dialogs and windows all receive the Session.
class Session {
  public:
    Session(Ui& ui, FileSystem& fs, ReferenceEngine& reference);

    Ui& ui;
    FileSystem& fs;
    ReferenceEngine& reference;

    Scenario sc;
    ShellSettings settings;
    RunLog log;
    StateTable state_table;
    DocumentView* view = nullptr;
    ListDialogMemory list_dialogs;

    // Set when the latest read of an options file gave up part-way (a failure, or a cancelled
    // chooser that went back to the previous file): the scenario then holds only part of a file,
    // and merging it into a file would replace that file's packets with it.
    bool read_incomplete = false;
    // The current options file as it was read or last saved.
    std::optional<FileStamp> file_stamp;
    // The scenario as it was read from its options file or last saved into it, with the text the
    // file held then: what a save would write is compared with what it would have written at
    // that moment (has_unsaved_changes). Empty until a file has been read.
    struct CleanPoint {
        Scenario sc;
        std::string bytes;
    };
    std::shared_ptr<const CleanPoint> clean;
    void mark_clean(std::string bytes) {
        clean = std::make_shared<const CleanPoint>(CleanPoint{sc, std::move(bytes)});
    }

    // The general date-and-time text of "now" (replaceable in tests).
    std::function<std::string()> now_text;

    // The message box of the program's own title.
    Button message(const std::string& text, Icon icon = Icon::None, Buttons buttons = Buttons::Ok);
    // The OK box that carries no title of its own (the window system shows the application
    // title) and no icon.
    void untitled_message(const std::string& text);
    void set_caption_for_current_file();
    // Makes app_dir the current directory again, as the end of a click does; a directory that
    // has gone away leaves the current one as it is (nothing to report at that point).
    void back_to_app_dir();
    void show_summary();
    // The orderly exit: "Ending run", 28 asterisks, log closed; then ends the program.
    [[noreturn]] void fini();
    // Ends the program at once, without the orderly exit.
    [[noreturn]] static void end_program();

    std::string option_file_path() const;
};

// "M/D/YYYY h:mm:ss AM" of the local time.
std::string general_date_time_now();

}  // namespace qv
