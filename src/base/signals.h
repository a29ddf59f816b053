#pragma once

#include <functional>

// How the converter ends when a termination signal (SIGINT, SIGTERM, SIGHUP) arrives: a thread of its own
// waits for them, so that ending is ordinary code rather than a signal handler's. It lets a write in
// place finish, removes the temporary files being written, runs the hooks (a terminal put back as it
// was), and then ends with the signal's usual status. SIGXFSZ is ignored: a file over the size limit fails
// its write, which is reported like any other. Nothing is set up until endCleanlyOnSignals is called, so a
// program that links it without calling it (the desktop program) keeps its usual signal handling. (The
// namespace is the converter's, which it was written for.)
namespace cli {

// Call first in main, before any other thread starts: the threads made later inherit the blocked signals.
void endCleanlyOnSignals();

// Runs `hook` before the process ends on a signal (hooks run in the order they were added).
void atSignalEnd(std::function<void()> hook);

} // namespace cli
