#include "dialogs/batch/session_copy.h"

namespace qv {

std::unique_ptr<Session> session_copy(const Session& s, Ui& ui) {
    auto copy = std::make_unique<Session>(ui, s.fs, s.reference);
    copy->sc = s.sc;
    copy->settings = s.settings;
    copy->state_table = s.state_table;
    copy->list_dialogs = s.list_dialogs;
    copy->read_incomplete = s.read_incomplete;
    copy->file_stamp = s.file_stamp;
    copy->now_text = s.now_text;
    copy->log.open_in_memory();
    return copy;
}

void pass_on_log(const Session& copy, Session& s) {
    for (const std::string& line : copy.log.lines())
        s.log.write(line);
}

}  // namespace qv
