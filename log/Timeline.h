// The live sampling timeline: ticks locked to start + n x interval on the monotonic clock, so
// the window timer's lateness does not add up and no jump of the wall clock (summer time, a
// clock set by hand, suspend and resume) bunches the samples.
#pragma once

#include <QtGlobal>

class Clock;

namespace Timeline {

// Monotonic milliseconds, as the timeline counts them.
qint64 NowMs(Clock &clock);

struct Tick {
    qint64 startMs; // start of the timeline
    qint64 count;   // samples since the start, this one included
    int periodMs;   // until the next tick
};
// One sampling tick at `nowMs`: the next period is what is left until the next sample is due,
// at most one interval; a tick late by less than an interval gets 60 % of the interval to catch
// up. A tick later than that (the program was held up, the computer slept) starts a new
// timeline at this sample instead of hurrying through the missed ones.
Tick Next(qint64 nowMs, qint64 startMs, qint64 count, qint64 sampleMs);

// A new timeline from now: LogStartMs and LogCount.
void Restart(Clock &clock);

} // namespace Timeline
