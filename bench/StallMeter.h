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
        worstAtMs_ = 0;
        over_ = 0;
    }
    // When the worst gap ended (monotonic ms, as the system's steady clock), and how many gaps
    // went beyond `limitMs`.
    qint64 WorstAtMs() const { return worstAtMs_; }
    int Over() const { return over_; }
    double limitMs = 50;
    // Counts the time since the last tick too, so a stall still going on is seen.
    double WorstMs() const {
        return std::max(worstMs_, double(since_.nsecsElapsed()) / 1e6 - periodMs_);
    }

private:
    void tick() {
        const double gap = double(since_.nsecsElapsed()) / 1e6 - periodMs_;
        if (gap > worstMs_) {
            worstMs_ = gap;
            worstAtMs_ = since_.msecsSinceReference() + since_.elapsed();
        }
        over_ += gap > limitMs;
        since_.start();
    }
    QTimer timer_;
    QElapsedTimer since_;
    int periodMs_;
    double worstMs_ = 0;
    qint64 worstAtMs_ = 0;
    int over_ = 0;
};
