#pragma once

#include <ostream>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/console/console_ui.h"

namespace qv::cli {

// What the program showed, as qvopt reports it: the boxes and choosers in order, then the end
// of the program when it would have ended.
struct Outcome {
    enum class Exit { Normal, Ended, Chooser };
    Exit exit = Exit::Normal;
    bool fini = false;  // with Ended: the orderly exit ran
};

nlohmann::ordered_json events_json(const std::vector<UiEvent>& events, const Outcome& outcome);
// One line per event, the message text with each line feed written as "\n".
void write_event_lines(std::ostream& out, const std::vector<UiEvent>& events,
                       const Outcome& outcome);

}  // namespace qv::cli
