#pragma once

class QProcess;

namespace qv {

// Makes the program that PROCESS starts end with this program, however this one ends (also by
// SIGKILL): it gets SIGTERM when the thread that started it is gone, and a start that comes
// after this program has already gone ends at once. Set before the process is started, on the
// thread that lives as long as the program.
void end_with_this_program(QProcess& process);

}  // namespace qv
