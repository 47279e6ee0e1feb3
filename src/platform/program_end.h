#pragma once

namespace qv {

// Thrown where the program ends at once. `fini` tells whether the orderly exit ran
// (its run-log lines were written and the log closed) before the end.
// Deliberately not a std::exception: handlers of ordinary failures must never swallow it.
struct ProgramEnd {
    bool fini = false;
};

// Thrown where the program would ask for another options file although the user has no
// file to fall back on, and the front end (qvopt) cannot ask: it stops instead.
struct ChooserStop {};

}  // namespace qv
