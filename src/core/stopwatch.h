#pragma once

#include <QtGlobal>
#include <functional>

// Time since a stage started, on a monotonic clock: a run that passes midnight, or a clock set back
// meanwhile, still counts the right seconds.
class Stopwatch {
  public:
    Stopwatch();
    qint64 elapsedMs() const;
    // Whole seconds, rounded down.
    qint64 elapsedSeconds() const { return elapsedMs() / 1000; }

    // Tests give their own clock (milliseconds); an empty function restores the monotonic one.
    static void setClock(std::function<qint64()> now);

  private:
    qint64 start_;
};
