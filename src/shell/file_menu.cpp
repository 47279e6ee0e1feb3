#include "shell/file_menu.h"

#include "platform/app_error.h"
#include "scenario/options_file.h"

namespace qv {

void file_menu(Session& s, int index) {
    // Save as reports its own failures (with its step marker).
    if (index == 2) {
        file_save_as(s);
        return;
    }
    try {
        if (index == 0)
            choose_option_file(s);
        else if (index == 1)
            file_save(s);
    } catch (const AppError& e) {
        s.log.write("Cancelled error  0 ");
        s.ui.message("Error: Cannot save file: Error " + std::to_string(e.number()), std::nullopt);
    }
    s.back_to_app_dir();
}

}  // namespace qv
