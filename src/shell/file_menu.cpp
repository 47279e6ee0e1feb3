#include "shell/file_menu.h"

#include "platform/app_error.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"

namespace qv {

const char* const incomplete_read_message =
    "The options file was not read in full, so the scenario may hold values of another file.\n"
    "Nothing was saved or run.\n\n"
    "Open the options file again (File, Open...) before you save or run it.";

bool refuse_incomplete_read(Session& s) {
    if (!s.read_incomplete)
        return false;
    s.message(incomplete_read_message, Icon::Exclamation);
    return true;
}

void open_options_file(Session& s, const std::string& path) {
    s.sc.prev_option_file_name = s.sc.option_file_name;
    s.sc.prev_option_file_dir = s.sc.option_file_dir;
    read_options_file_at(s, path);
    s.set_caption_for_current_file();
    s.back_to_app_dir();
}

namespace {

// The error branch of Open and Save.
void report_menu_error(Session& s, const AppError& e) {
    s.log.write("Cancelled error  0 ");
    s.untitled_message("Error: Cannot save file: Error " + std::to_string(e.number()));
}

}  // namespace

bool menu_save(Session& s) {
    bool saved = false;
    if (!refuse_incomplete_read(s)) {
        try {
            saved = file_save(s);
        } catch (const AppError& e) {
            report_menu_error(s, e);
        }
    }
    s.back_to_app_dir();
    return saved;
}

void file_menu(Session& s, int index) {
    if (index == 1) {
        menu_save(s);
        return;
    }
    if (index == 2) {
        // Save as reports its own failures (with its step marker).
        if (!refuse_incomplete_read(s))
            file_save_as(s);
        else
            s.back_to_app_dir();
        return;
    }
    try {
        // The read falls back on the previous file when its chooser is cancelled: that is the
        // file the scenario belongs to until another one has been read.
        s.sc.prev_option_file_name = s.sc.option_file_name;
        s.sc.prev_option_file_dir = s.sc.option_file_dir;
        choose_option_file(s);
    } catch (const AppError& e) {
        report_menu_error(s, e);
    }
    // A read that stopped part-way leaves the caption of the file it started from.
    s.set_caption_for_current_file();
    s.back_to_app_dir();
}

}  // namespace qv
