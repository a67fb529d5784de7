#pragma once

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <vector>

// The longest time the event loop went without serving a short timer, beyond its period: a
// handler that blocks the window shows here, whoever called it.
class StallMeter {
public:
    // A gap between two ticks, beyond the period, on the system's steady clock (ms).
    struct Gap {
        double startMs, endMs;
        double ms() const { return endMs - startMs; }
    };

    explicit StallMeter(int periodMs = 5) : periodMs_(periodMs) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(periodMs);
        Reset();
    }
    void Reset() {
        lastMs_ = NowMs();
        worst_ = {lastMs_, lastMs_};
        over_ = 0;
        Gaps.clear();
    }
    // The worst gap, counting the time since the last tick too, so a stall still going on is
    // seen; and how many gaps went beyond `limitMs`.
    double WorstMs() const { return std::max(worst_.ms(), NowMs() - lastMs_ - periodMs_); }
    Gap Worst() const { return worst_; }
    int Over() const { return over_; }
    double limitMs = 50;
    // Gaps longer than this are kept in Gaps (none when negative).
    double keepOverMs = -1;
    std::vector<Gap> Gaps;

    static double NowMs() {
        return std::chrono::duration<double, std::milli>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

private:
    void tick() {
        const double now = NowMs();
        const Gap gap{lastMs_ + periodMs_, now};
        if (gap.ms() > worst_.ms())
            worst_ = gap;
        over_ += gap.ms() > limitMs;
        if (keepOverMs >= 0 && gap.ms() > keepOverMs)
            Gaps.push_back(gap);
        lastMs_ = now;
    }
    QTimer timer_;
    int periodMs_;
    double lastMs_ = 0;
    Gap worst_{0, 0};
    int over_ = 0;
};

// The part of `gap` outside every one of `others` (sorted, not overlapping): what is left of a
// stall once the times another event loop stood still too are taken out.
inline double OutsideOf(const StallMeter::Gap &gap, const std::vector<StallMeter::Gap> &others) {
    double left = gap.ms();
    for (const StallMeter::Gap &o : others)
        left -= std::max(0.0, std::min(gap.endMs, o.endMs) - std::max(gap.startMs, o.startMs));
    return left;
}
