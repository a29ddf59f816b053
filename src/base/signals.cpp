#include "base/signals.h"

#include "base/files.h"

#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace cli {

namespace {

sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
}

struct Hooks {
    std::mutex lock;
    std::vector<std::function<void()>> list;
};

Hooks& hooks() {
    static Hooks* h = new Hooks; // outlives main: the watcher may run while the process ends
    return *h;
}

} // namespace

void atSignalEnd(std::function<void()> hook) {
    const std::lock_guard<std::mutex> hold(hooks().lock);
    hooks().list.push_back(std::move(hook));
}

void endCleanlyOnSignals() {
    std::signal(SIGXFSZ, SIG_IGN);
    const sigset_t set = endingSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        files::endWrites();
        {
            const std::lock_guard<std::mutex> hold(hooks().lock);
            for (const std::function<void()>& hook : hooks().list)
                hook();
        }
        // The signal once more, now with its default action: the status says what ended the process.
        std::signal(signal, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        std::raise(signal);
    }).detach();
}

} // namespace cli
