#pragma once

#include <QApplication>

namespace qv {

// The application object: the boundary at which no exception may cross into Qt. A ProgramEnd
// thrown by an event step ends the program (the orderly exit has already run when it says so);
// any other exception is logged to standard error and the event is dropped.
class Application : public QApplication {
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Set when an event step ended the program.
    bool ended() const;
};

}  // namespace qv
