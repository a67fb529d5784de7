// The axes of a recording's chart: time ticks in the recording's own clock with the date where it
// changes and the time elapsed beneath, and value scales fitted to what is shown, voltage and
// current sharing one set of divisions. Plain rules, without a painter.
#pragma once

#include "SampleColumns.h"

#include <QString>
#include <functional>
#include <vector>

namespace History {

struct TimeTick {
    double t;            // seconds from the recording's start
    QString clock;       // "10:15", "10:15:30", "10:15:30.5", with "8 Dec " where the date changes
    QString elapsed;     // "+0:15", "+1d 02:00", "+0:00:30.5"
};
// Ticks at least `minPx` apart across `widthPx` for the time window t0..t1, on whole steps of the
// clock the recording was written in (`offsetAt(t)`: its UTC offset in seconds at t).
std::vector<TimeTick> TimeTicks(double t0, double t1, int widthPx, qint64 firstMs,
                                const std::function<int(double)> &offsetAt, double minPx = 110);
// "+0:15", "+1d 02:00"; with a tick step under a minute "+0:00:30", under a second "+0:00:30.5".
QString ElapsedText(double seconds);
QString ElapsedText(double seconds, double step);
// "Mon 8 Dec 2026 10:15:30.500": a sample's clock time for the readout, or in `format`.
QString ClockText(qint64 firstMs, double t, int offsetS,
                  const QString &format = QStringLiteral("ddd d MMM yyyy hh:mm:ss.zzz"));

struct ValueScale {
    double min = 0, max = 1, step = 0.1;
    int divisions = 10;
};
struct Scales {
    ValueScale volt, curr;
};
// Round scales holding the extremes, with the same number of divisions on both sides (4..10);
// a flat trace gets a span of its own around it.
Scales Fit(const Extremes &e);

} // namespace History
