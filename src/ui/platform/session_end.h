#pragma once

#include <functional>

class QWidget;

// How the program ends when something outside it ends it: a session's or a user's SIGTERM, SIGINT (Ctrl+C
// in the terminal that started it) or SIGHUP, and its main window destroyed by another program.
namespace session {

// Runs `close` on the event loop when one of the three signals arrives: the handler only writes to a pipe,
// the one thing a signal handler may safely do, and the event loop reads it. From then on message boxes
// are not shown (their text goes to standard error); open dialogs are ended, and `close` runs once their
// handlers have returned, from the main event loop; if that cannot be within two seconds, `giveUp` runs
// and the program ends. A second signal ends the program at once, as the signal does by default.
void closeOnSignals(std::function<void()> close, std::function<void()> giveUp);

// Runs `destroyed` when another program destroys the window's platform window (X11's DestroyNotify); the
// program then has no window left to close.
void onWindowDestroyed(QWidget* window, std::function<void()> destroyed);

} // namespace session
