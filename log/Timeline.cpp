#include "Timeline.h"

#include "Clock.h"
#include "Module1.h"

namespace Timeline {

qint64 NowMs(Clock &clock) {
    return clock.MonotonicMs();
}

Tick Next(qint64 nowMs, qint64 startMs, qint64 count, qint64 sampleMs) {
    Tick t{startMs, count + 1, 0};
    if (nowMs < t.startMs || nowMs - t.startMs > (t.count + 1) * sampleMs) {
        // More than one interval late: this sample is the first of a new timeline.
        t.startMs = nowMs - sampleMs;
        t.count = 1;
    }
    const qint64 due = (t.count + 1) * sampleMs - (nowMs - t.startMs);
    if (due > 0)
        t.periodMs = int(due <= sampleMs ? due : sampleMs);
    else
        t.periodMs = int(Module1::nearest(sampleMs * 0.6));
    return t;
}

void Restart(Clock &clock) {
    Module1::LogStartMs = NowMs(clock);
    Module1::LogCount = 0;
}

} // namespace Timeline
