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
    s.sc.option_file_name = split_file_name(path);
    s.sc.option_file_dir = split_dir(path);
    {
        BusyPointer busy(s.ui);
        read_options_file(s);
    }
    s.set_caption_for_current_file();
    s.back_to_app_dir();
}

void file_menu(Session& s, int index) {
    if ((index == 1 || index == 2) && refuse_incomplete_read(s)) {
        s.back_to_app_dir();
        return;
    }
    // Save as reports its own failures (with its step marker).
    if (index == 2) {
        file_save_as(s);
        return;
    }
    try {
        if (index == 0) {
            // The read falls back on the previous file when its chooser is cancelled: that is
            // the file the scenario belongs to until another one has been read.
            s.sc.prev_option_file_name = s.sc.option_file_name;
            s.sc.prev_option_file_dir = s.sc.option_file_dir;
            choose_option_file(s);
        } else if (index == 1) {
            file_save(s);
        }
    } catch (const AppError& e) {
        s.log.write("Cancelled error  0 ");
        s.untitled_message("Error: Cannot save file: Error " + std::to_string(e.number()));
    }
    // A read that stopped part-way leaves the caption of the file it started from.
    if (index == 0)
        s.set_caption_for_current_file();
    s.back_to_app_dir();
}

}  // namespace qv
