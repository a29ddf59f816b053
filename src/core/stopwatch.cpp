#include "core/stopwatch.h"

#include <QElapsedTimer>

namespace {

std::function<qint64()>& testClock() {
    static std::function<qint64()> now;
    return now;
}

qint64 now() {
    if (testClock())
        return testClock()();
    static const QElapsedTimer monotonic = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return monotonic.elapsed();
}

} // namespace

Stopwatch::Stopwatch() : start_(now()) {}

qint64 Stopwatch::elapsedMs() const {
    return now() - start_;
}

void Stopwatch::setClock(std::function<qint64()> n) {
    testClock() = std::move(n);
}
