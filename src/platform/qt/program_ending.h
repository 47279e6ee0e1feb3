#pragma once

namespace qv {

// True once an event step has ended the program: the application then closes every window, and
// a window closed that way has nothing to check, store or ask. Held by the application object,
// so that it lasts exactly as long as the program's windows do.
bool program_ending();
void set_program_ending(bool ending);

}  // namespace qv
