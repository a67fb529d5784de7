#include "Timeline.h"

#include "Clock.h"
#include "Module1.h"

#include <algorithm>

namespace Timeline {

qint64 NowMs(Clock &clock) {
    return clock.MonotonicMs();
}

bool ReadingFresh(qint64 nowMs, qint64 readAtMs, int pollMs) {
    constexpr qint64 StepMs = 250 + 2 * 200;
    return nowMs - readAtMs <= 2 * qint64(pollMs) + StepMs;
}

Tick Next(qint64 nowMs, qint64 startMs, qint64 count, qint64 sampleMs) {
    Tick t{startMs, count + 1, 0};
    if (nowMs < startMs) {
        t.startMs = nowMs - sampleMs;
        t.count = 1;
    } else if (const qint64 reached = (nowMs - startMs) / sampleMs; reached > t.count) {
        t.missed = reached - t.count;
        t.count = reached;
    }
    // Positive: the slot taken is at most the last one whose time has come.
    const qint64 due = (t.count + 1) * sampleMs - (nowMs - t.startMs);
    t.periodMs = int(std::min(due, sampleMs));
    return t;
}

void Restart(Clock &clock) {
    Module1::LogStartMs = NowMs(clock);
    Module1::LogCount = 0;
}

} // namespace Timeline
