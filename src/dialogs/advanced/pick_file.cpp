#include "dialogs/advanced/pick_file.h"

#include "scenario/options_file.h"
#include "scenario/packets.h"

namespace qv {

std::optional<std::string> pick_file(Session& s, ChooserRequest request, bool check_83) {
    for (;;) {
        std::optional<std::string> path = s.ui.open_file(request);
        if (!path)
            return std::nullopt;
        if (check_83) {
            Name83 rule = check_83_name(s, *path);
            if (rule == Name83::NoPeriod)
                return std::nullopt;
            if (rule == Name83::TooLong) {
                // The chooser offers the refused name again, as it remembers its last choice.
                request.initial_name = *path;
                continue;
            }
        }
        s.back_to_app_dir();
        return path;
    }
}

void report_missing_file(Session& s, const std::string& text) {
    s.untitled_message(text + " does not exist");
}

}  // namespace qv
