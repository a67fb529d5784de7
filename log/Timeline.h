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
    qint64 startMs;    // start of the timeline
    qint64 count;      // slots since the start, this sample's included
    int periodMs;      // until the next tick
    qint64 missed = 0; // slots before this sample whose time passed without a tick
};
// One sampling tick at `nowMs`. The sample takes the last slot whose time has come; a tick late
// by a whole interval or more (the program was held up, the computer slept) leaves the slots it
// missed empty rather than filling them with a reading taken later than their time. The next
// period is what is left until the next slot is due, at most one interval. A clock that went
// back starts a new timeline at this sample.
Tick Next(qint64 nowMs, qint64 startMs, qint64 count, qint64 sampleMs);

// Whether a reading taken at `readAtMs` may still stand for the output at `nowMs`: polls come
// every `pollMs`, and one may be skipped for an external step due within 250 ms, whose two
// exchanges wait up to 0.2 s each before the polling starts again. Anything older means the polls
// have stopped, and a sample from it would show a frozen output as live.
bool ReadingFresh(qint64 nowMs, qint64 readAtMs, int pollMs);

// A new timeline from now: LogStartMs and LogCount.
void Restart(Clock &clock);

} // namespace Timeline
