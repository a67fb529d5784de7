// Reading the chart: which sample lies under the pointer, what it says, and statistics over a
// stretch of samples (minimum, maximum, mean, charge and energy by the trapezoid rule). Plain
// rules on a sample store and the chart's mapping, shared by the screen, the image and the bench.
#pragma once

#include "ChartScale.h"
#include "StretchStats.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

class SampleStore;

namespace ChartReadout {

// Where the chart puts its slots: the store, its interval and whether it is the live chart
// (whose time window starts two intervals later than a log's).
struct Slots {
    const SampleStore *store = nullptr;
    qint64 intervalMs = 2000;
    double offsetHalfS = 0; // of the time window, as the chart's mapping was read
    // Slot 1's clock time: the newest live sample's, or a log's creation; none when unknown.
    std::optional<QDateTime> newest;

    double HalfSeconds(int slot) const { return 2.0 * slot * intervalMs / 1000; }
    // The slot's time as the time labels give it: seconds into the past.
    double AxisSeconds(int slot) const { return (HalfSeconds(slot) - offsetHalfS) / 2; }
    std::optional<QDateTime> ClockTime(int slot) const;
};

// The hover cursor and the cursors A and B, each on a slot (so on a sample, not a position).
struct Cursors {
    std::optional<int> hover, a, b;
    void Click(int slot); // A, then B, then A again without B
    void Clear() { a.reset(), b.reset(); }
    void Shift(int by = 1); // the live store moved older: so do its cursors
    bool Pair() const { return a && b; }
};

constexpr int FirstDrawn = 2;  // the traces start at slot 2, live or stored
constexpr double SearchPx = 6; // how far from the pointer a sample still counts as pointed at

// The slot holding a sample nearest to surface column `x`, within the time window; none when
// no slot there holds one.
std::optional<int> SlotAt(const Slots &chart, const ChartScale::Mapping &m, double x);
// The surface column of a slot (may lie outside the chart when the window moved on).
double XOf(const Slots &chart, const ChartScale::Mapping &m, int slot);
// The chart the time window shows, newest first; none when it shows none.
std::optional<std::pair<int, int>> WindowSlots(const Slots &chart, const ChartScale::Mapping &m);

// "-12s  10:15:03.5", "12.30 V", "1.230 A", "15.13 W": the hover readout of a slot with a sample.
QStringList Readout(const Slots &chart, int slot);
// "12.30 V", "1.230 A", "15.13 W": the values of a readout.
QStringList ValueTexts(double volt, double curr);
QString AxisText(double seconds); // "90s", "2m", "1.5s"

using Stats = StretchStats::Stats;
// Statistics over chart `a`..`b` (either order); with `pair` the deltas run from a to b.
Stats Compute(const SampleStore &store, int a, int b, qint64 intervalMs, bool pair);

QString ChargeText(double ah);        // "1.000 Ah", "250.0 mAh"
QString EnergyText(double wh);        // "12.00 Wh", "350.0 mWh"
QString DurationText(double seconds); // "59.5 s", "12:05", "1:02:03"
// The statistics as caption and value rows, for the panel and the saved image.
QList<QPair<QString, QString>> Rows(const Stats &s, bool betweenCursors);

} // namespace ChartReadout
