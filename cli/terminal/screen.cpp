#include "terminal/screen.h"

#include "base/signals.h"

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace screen {

namespace {

struct Drawing {
    std::mutex lock;
    bool drawn = false;  // the cursor is hidden, the colours perhaps set
    bool ending = false; // a signal ends the converter
};

Drawing& drawing() {
    static Drawing* d = [] {
        auto* state = new Drawing; // used by the signal thread, so never destroyed
        cli::atSignalEnd([state] {
            const std::lock_guard<std::mutex> hold(state->lock);
            state->ending = true;
            if (state->drawn)
                (void)!::write(STDOUT_FILENO, kRestore.data(), kRestore.size());
        });
        return state;
    }();
    return *d;
}

int written(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0)
        return 0;
    return errno;
}

} // namespace

InPlace::InPlace() {
    drawing();
}

InPlace::~InPlace() {
    restore();
}

int InPlace::draw(std::string_view frame) {
    Drawing& d = drawing();
    const std::lock_guard<std::mutex> hold(d.lock);
    if (d.ending)
        return ECANCELED;
    d.drawn = true;
    return written(frame);
}

int InPlace::restore() {
    Drawing& d = drawing();
    const std::lock_guard<std::mutex> hold(d.lock);
    return std::exchange(d.drawn, false) && !d.ending ? written(kRestore) : 0;
}

} // namespace screen
