// The live sampling timeline: ticks locked to start + n x interval on the wall clock, so the
// window timer's lateness does not add up.
#pragma once

#include <QtGlobal>

class Clock;

namespace Timeline {

constexpr qint64 DayMs = 86400000;

// Integer milliseconds since midnight, as the timeline counts them.
qint64 NowMs(Clock &clock);

struct Tick {
    qint64 startMs; // start of the timeline, 0 after midnight
    qint64 count;   // samples since the start, this one included
    int periodMs;   // until the next tick
};
// One sampling tick at `nowMs`: the next period is what is left until the next sample is due,
// at most one interval; a late tick gets 60 % of the interval.
Tick Next(qint64 nowMs, qint64 startMs, qint64 count, qint64 sampleMs);

// A new timeline from now: LogStartMs and LogCount.
void Restart(Clock &clock);

} // namespace Timeline
