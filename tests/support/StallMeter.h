#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

// The longest time the event loop went without serving a short timer, beyond its period: a
// handler that blocks the window shows here, whoever called it.
class StallMeter {
public:
    explicit StallMeter(int periodMs = 5) : periodMs_(periodMs) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(periodMs);
        Reset();
    }
    void Reset() {
        since_.start();
        worstMs_ = 0;
    }
    // Counts the time since the last tick too, so a stall still going on is seen.
    double WorstMs() const {
        return std::max(worstMs_, double(since_.nsecsElapsed()) / 1e6 - periodMs_);
    }

private:
    void tick() {
        worstMs_ = std::max(worstMs_, double(since_.nsecsElapsed()) / 1e6 - periodMs_);
        since_.start();
    }
    QTimer timer_;
    QElapsedTimer since_;
    int periodMs_;
    double worstMs_ = 0;
};
