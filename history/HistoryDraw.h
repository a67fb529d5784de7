// Drawing a recording onto any painter: the chart's black with its green grid, voltage in yellow
// on the left scale and current in red on the right, time along the bottom in two rows. Where
// more than two samples fall on a pixel column each trace is its min-max band with the mean line,
// else the samples joined by lines; a gap is never bridged. Every frame reads the pyramid.
#pragma once

#include "HistoryAxes.h"
#include "RecordedRun.h"

#include <QRect>
#include <optional>

class QPainter;
class QFontMetrics;

namespace History {

// The time window's mapping onto the traces' area.
struct Plot {
    QRect area;
    double t0 = 0, t1 = 1;
    double X(double t) const { return area.left() + (t - t0) / (t1 - t0) * area.width(); }
    double T(double x) const { return t0 + (x - area.left()) / area.width() * (t1 - t0); }
};
// The traces' area inside a chart of `rect`, leaving room for the labels.
QRect TraceArea(const QRect &rect, const QFontMetrics &fm);

struct Scene {
    const RecordedRun *run = nullptr;
    double t0 = 0, t1 = 1;
    Scales scales;
    std::optional<qint64> a, b, hover;         // cursors and the pointer, on samples
    std::optional<double> pointerT;            // the pointer's time, sample or not
    std::optional<std::pair<double, double>> selection; // a span being dragged out
    std::optional<size_t> event;               // the event mark under the pointer
};

// The whole chart: frame, labels, event marks, traces, cursors and the hover readout.
void Draw(QPainter &p, const QRect &rect, const Scene &scene);
// The traces alone, for the overview strip too.
void Traces(QPainter &p, const QRect &area, const SampleColumns &s, double t0, double t1,
            const Scales &scales);
// Whether the window t0..t1 across `widthPx` columns is drawn as bands.
bool Banded(const SampleColumns &s, double t0, double t1, int widthPx);
// The readout's lines for a sample, and the event's text under the pointer.
QStringList ReadoutLines(const RecordedRun &run, qint64 sample);

} // namespace History
