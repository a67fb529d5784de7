#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>

// The longest time the event loop went without serving a short timer, beyond its period: a
// handler that blocks the window shows here, whoever called it.
//
// Asked to, it also tells the program's share of each gap from the machine's: the time the
// thread stood ready to run while the system gave the processor to others (its run-queue wait,
// from /proc/thread-self/schedstat) is the machine's, the rest the program's.
class StallMeter {
public:
    explicit StallMeter(int periodMs = 5, bool splitMachine = false)
        : periodMs_(periodMs), split_(splitMachine) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(periodMs);
        Reset();
    }
    void Reset() {
        since_.start();
        waitNs_ = split_ ? RunQueueWaitNs() : 0;
        worstMs_ = ownWorstMs_ = 0;
        worstAtMs_ = ownWorstAtMs_ = 0;
        over_ = ownOver_ = 0;
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
    // The same for the program's share of each gap (with splitMachine only).
    double OwnWorstMs() const { return ownWorstMs_; }
    qint64 OwnWorstAtMs() const { return ownWorstAtMs_; }
    int OwnOver() const { return ownOver_; }

    // Nanoseconds this thread has spent ready to run but not running, since it started.
    static qint64 RunQueueWaitNs() {
        QFile f(QStringLiteral("/proc/thread-self/schedstat"));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        return f.readAll().split(' ').value(1).toLongLong();
    }

private:
    void tick() {
        const double gap = double(since_.nsecsElapsed()) / 1e6 - periodMs_;
        const qint64 now = since_.msecsSinceReference() + since_.elapsed();
        if (gap > worstMs_)
            worstMs_ = gap, worstAtMs_ = now;
        over_ += gap > limitMs;
        if (split_) {
            const qint64 wait = RunQueueWaitNs();
            const double own = gap - double(wait - waitNs_) / 1e6;
            waitNs_ = wait;
            if (own > ownWorstMs_)
                ownWorstMs_ = own, ownWorstAtMs_ = now;
            ownOver_ += own > limitMs;
        }
        since_.start();
    }
    QTimer timer_;
    QElapsedTimer since_;
    int periodMs_;
    bool split_;
    qint64 waitNs_ = 0;
    double worstMs_ = 0, ownWorstMs_ = 0;
    qint64 worstAtMs_ = 0, ownWorstAtMs_ = 0;
    int over_ = 0, ownOver_ = 0;
};
