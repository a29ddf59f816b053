#include "animation.h"

#include "output.h"
#include "terminal/screen.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

// Plays one picture until it is done or `until` has passed, on the clock however long a frame takes to draw:
// false when the time is up. A round that shows no frame, or a frame that cannot be decoded, ends it as an
// invalid picture (after the frames before it were shown).
bool play(const Plan& plan, const Job& job, QtServices& qt, const Provided& provided, screen::InPlace& canvas,
          Clock::time_point until) {
    std::unique_ptr<Frames> frames = qt.frames(job.source);
    // The size is fixed by the first frame and kept for all.
    const Layout layout =
        layoutFor(plan, frames->size(), plan.cellAspect.value_or(provided.measured.get().cellAspect));
    int plays = frames->loopCount() < 0 ? -1 : frames->loopCount() + 1;
    if (plan.loops > 0)
        plays = plays < 0 ? plan.loops : std::min(plays, plan.loops);
    long lines = 0;
    Clock::time_point due = Clock::now();
    for (int round = 0; plays < 0 || round < plays; ++round) {
        if (round > 0)
            frames = qt.frames(job.source);
        std::vector<px::Image> images;
        int delay = 0, shown = 0;
        while (Clock::now() < until && frames->next(targetsFor(layout.sizings, images), delay)) {
            const std::string text = textOf(plan, job, assemble(plan, layout, std::move(images)), provided);
            // Each frame over the lines of the one before.
            const std::string back = lines > 0 ? screen::linesUp(lines) : std::string(screen::kHideCursor);
            if (const int error = canvas.draw(back + text); error == ECANCELED) {
                return false;
            } else if (error) {
                printError("standard output", std::strerror(error));
                throw err::Error(err::PathFileAccess, {}, err::Kind::Reported);
            }
            lines = std::count(text.begin(), text.end(), '\n');
            ++shown;
            // The next frame is due a delay after this one was; one drawn late is not made up for.
            due = std::max(due + std::chrono::milliseconds(delay < 20 ? 100 : delay), Clock::now());
            if (due >= until) {
                std::this_thread::sleep_until(until);
                return false;
            }
            std::this_thread::sleep_until(due);
        }
        if (Clock::now() >= until)
            return false;
        if (shown == 0)
            throw err::Error(err::InvalidPicture);
    }
    return true;
}

} // namespace

int animate(const Plan& plan, QtServices& qt, const Provided& provided) {
    screen::InPlace canvas;
    const Clock::time_point until = plan.duration > 0
                                        ? Clock::now() + std::chrono::milliseconds(long(plan.duration * 1000))
                                        : Clock::time_point::max();
    int failed = 0;
    for (const Job& job : plan.jobs) {
        if (job.refused) {
            ++failed;
            continue;
        }
        try {
            if (!job.inputError.empty())
                throw err::Error(err::PathFileAccess, job.inputError);
            if (!play(plan, job, qt, provided, canvas, until))
                break;
        } catch (const err::Error& e) {
            if (e.kind() != err::Kind::Reported)
                printError(job.picture, e.description());
            ++failed;
        }
    }
    if (const int error = canvas.restore())
        printError("standard output", std::strerror(error));
    return failed == 0 ? 0 : failed == int(plan.jobs.size()) ? 2 : 1;
}

} // namespace cli
