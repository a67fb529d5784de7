#include "HistoryDraw.h"

#include "ChartDraw.h"
#include "ChartOverlay.h"
#include "ChartReadout.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>
#include <cmath>

namespace History {

namespace {

const QColor VoltBand{120, 120, 0}, CurrBand{130, 0, 0}, EventMark{255, 160, 0},
    Label{200, 200, 200};
constexpr int MarkPx = 7;

double Y(const QRect &area, double value, const ValueScale &s) {
    return area.bottom() + 0.5 - (value - s.min) / (s.max - s.min) * (area.height() - 1);
}

QString ScaleText(double value, const ValueScale &s, const char *unit) {
    int decimals = std::max(0, int(-std::floor(std::log10(s.step) + 1e-9)));
    if (std::abs(std::round(s.step * std::pow(10, decimals)) - s.step * std::pow(10, decimals)) >
        1e-6)
        ++decimals; // 0.25 steps
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + QLatin1String(unit);
}

void Flush(QPainter &p, QPolygonF &line) {
    if (line.size() > 1)
        p.drawPolyline(line);
    else if (line.size() == 1)
        p.drawPoint(line.front());
    line.clear();
}

void DrawBands(QPainter &p, const QRect &area, const SampleColumns &s, double t0, double t1,
               const Scales &sc) {
    const int w = area.width();
    const double dt = (t1 - t0) / w;
    struct Column {
        float vMin, vMax, iMin, iMax;
        double vMean, iMean;
        bool any, gap;
    };
    std::vector<Column> columns(static_cast<size_t>(w));
    qint64 a = s.LowerBound(t0);
    StretchStats::Sums before = s.Cumulative(a);
    for (int x = 0; x < w; ++x) {
        const qint64 b = s.LowerBound(x + 1 == w ? t1 : t0 + (x + 1) * dt, a);
        Column &c = columns[size_t(x)];
        c.any = false;
        if (b > a) {
            const StretchStats::Sums after = s.Cumulative(b);
            const Extremes e = s.Range(a, b);
            const long long n = after.samples - before.samples;
            c.gap = after.gaps > before.gaps;
            if (e.Any() && n > 0) {
                c = {e.vMin, e.vMax, e.iMin, e.iMax, (after.vSum - before.vSum) / double(n),
                     (after.iSum - before.iSum) / double(n), true, c.gap};
            }
            before = after;
        }
        a = std::max(a, b);
    }
    const auto band = [&](const QColor &colour, bool volt) {
        p.setPen(QPen(colour, 1));
        QVector<QLineF> lines; // in one call: a painter's call costs more than the line
        lines.reserve(w);
        for (int x = 0; x < w; ++x) {
            const Column &c = columns[size_t(x)];
            if (!c.any)
                continue;
            const double px = area.left() + x + 0.5;
            const double lo = volt ? Y(area, c.vMin, sc.volt) : Y(area, c.iMin, sc.curr);
            const double hi = volt ? Y(area, c.vMax, sc.volt) : Y(area, c.iMax, sc.curr);
            lines.append(QLineF(px, lo + 0.5, px, hi - 0.5));
        }
        p.drawLines(lines);
    };
    const auto mean = [&](const QColor &colour, bool volt) {
        p.setPen(QPen(colour, 1));
        QPolygonF line;
        for (int x = 0; x < w; ++x) {
            const Column &c = columns[size_t(x)];
            if (!c.any) {
                Flush(p, line);
                continue;
            }
            line << QPointF(area.left() + x + 0.5,
                            volt ? Y(area, c.vMean, sc.volt) : Y(area, c.iMean, sc.curr));
            if (c.gap)
                Flush(p, line); // the mean runs up to a gap and starts again after it
        }
        Flush(p, line);
    };
    band(CurrBand, false);
    band(VoltBand, true);
    mean(ChartDraw::Curr, false);
    mean(ChartDraw::Volt, true);
}

void DrawLines(QPainter &p, const QRect &area, const SampleColumns &s, double t0, double t1,
               const Scales &sc) {
    const qint64 first = std::max<qint64>(0, s.LowerBound(t0) - 1);
    const qint64 last = std::min(s.Size(), s.LowerBound(t1) + 1);
    const Plot plot{area, t0, t1};
    // Dots once a sample is wider than a few pixels.
    const qint64 shown = s.LowerBound(t1) - s.LowerBound(t0);
    const bool dots = shown == 0 || double(area.width()) / double(shown) > 6;
    for (const bool volt : {false, true}) {
        const QColor colour = volt ? ChartDraw::Volt : ChartDraw::Curr;
        p.setPen(QPen(colour, 1));
        QPolygonF line;
        for (qint64 k = first; k < last; ++k) {
            const Sample &x = s.at(k);
            if (!x.Present()) {
                Flush(p, line);
                continue;
            }
            line << QPointF(plot.X(x.t), volt ? Y(area, x.v, sc.volt) : Y(area, x.i, sc.curr));
        }
        Flush(p, line);
        if (dots) {
            p.setBrush(colour);
            for (qint64 k = first; k < last; ++k)
                if (const Sample &x = s.at(k); x.Present())
                    p.drawEllipse(QPointF(plot.X(x.t), volt ? Y(area, x.v, sc.volt)
                                                            : Y(area, x.i, sc.curr)),
                                  2.5, 2.5);
            p.setBrush(Qt::NoBrush);
        }
    }
}

} // namespace

QRect TraceArea(const QRect &rect, const QFontMetrics &fm) {
    const int left = fm.horizontalAdvance(QStringLiteral("000.00 V")) + 10;
    const int right = fm.horizontalAdvance(QStringLiteral("0.000 A")) + 10;
    return rect.adjusted(left, fm.height() / 2 + 6, -right, -(2 * fm.height() + MarkPx + 8));
}

bool Banded(const SampleColumns &s, double t0, double t1, int widthPx) {
    return widthPx > 0 && s.LowerBound(t1) - s.LowerBound(t0) > 2 * qint64(widthPx);
}

void Traces(QPainter &p, const QRect &area, const SampleColumns &s, double t0, double t1,
            const Scales &scales) {
    if (area.width() <= 0 || area.height() <= 1 || !(t1 > t0))
        return;
    p.save();
    p.setClipRect(area);
    if (Banded(s, t0, t1, area.width()))
        DrawBands(p, area, s, t0, t1, scales);
    else
        DrawLines(p, area, s, t0, t1, scales);
    p.restore();
}

QStringList ReadoutLines(const RecordedRun &run, qint64 k) {
    const Sample &s = run.Samples().at(k);
    QStringList lines{ClockText(run.FirstMs(), s.t, run.OffsetAt(s.t)), ElapsedText(s.t, 0.5)};
    if (s.Present())
        lines << ChartReadout::ValueTexts(s.v, s.i);
    else
        lines << QStringLiteral("no reading");
    return lines;
}

void Draw(QPainter &p, const QRect &rect, const Scene &sc) {
    p.save();
    p.fillRect(rect, Qt::black);
    const QFontMetrics fm = p.fontMetrics();
    const QRect area = TraceArea(rect, fm);
    if (area.width() < 10 || area.height() < 10 || !sc.run) {
        p.restore();
        return;
    }
    const Plot plot{area, sc.t0, sc.t1};
    const RecordedRun &run = *sc.run;
    // Grid and value scales: one set of divisions for both traces.
    const int n = sc.scales.volt.divisions;
    for (int d = 0; d <= n; ++d) {
        const double y = std::round(area.bottom() - double(d) / n * (area.height() - 1)) + 0.5;
        p.setPen(ChartDraw::Grid);
        p.drawLine(QPointF(area.left(), y), QPointF(area.right() + 1, y));
        const QRectF left(rect.left(), y - fm.height(), area.left() - rect.left() - 6,
                          2 * fm.height());
        const QRectF right(area.right() + 7, y - fm.height(), rect.right() - area.right() - 7,
                           2 * fm.height());
        p.setPen(ChartDraw::Volt);
        p.drawText(left, Qt::AlignRight | Qt::AlignVCenter,
                   ScaleText(sc.scales.volt.min + d * sc.scales.volt.step, sc.scales.volt, "V"));
        p.setPen(ChartDraw::Curr);
        p.drawText(right, Qt::AlignLeft | Qt::AlignVCenter,
                   ScaleText(sc.scales.curr.min + d * sc.scales.curr.step, sc.scales.curr, "A"));
    }
    // Time ticks: clock time, the date where it changes, and the time elapsed beneath.
    const auto ticks = TimeTicks(sc.t0, sc.t1, area.width(), run.FirstMs(),
                                 [&run](double t) { return run.OffsetAt(t); },
                                 fm.horizontalAdvance(QStringLiteral("00 Mmm 00:00")) + 20);
    const int row1 = area.bottom() + MarkPx + 4;
    for (const TimeTick &tick : ticks) {
        const double x = std::round(plot.X(tick.t)) + 0.5;
        p.setPen(ChartDraw::Grid);
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom() + 1));
        const int half = fm.horizontalAdvance(tick.clock) / 2 + 2;
        const double cx = std::clamp(x, double(rect.left() + half), double(rect.right() - half));
        p.setPen(Label);
        p.drawText(QRectF(cx - half, row1, 2 * half, fm.height()), Qt::AlignCenter, tick.clock);
        p.setPen(Qt::gray);
        p.drawText(QRectF(cx - half - 20, row1 + fm.height(), 2 * half + 40, fm.height()),
                   Qt::AlignCenter, tick.elapsed);
    }
    p.setPen(ChartDraw::Grid);
    p.drawRect(QRectF(area).adjusted(-0.5, -0.5, 0.5, 0.5));
    // Event marks under the traces' area, one a pixel column at most.
    const auto &events = run.Events();
    auto e = std::lower_bound(events.begin(), events.end(), sc.t0,
                              [](const Event &ev, double t) { return ev.t < t; });
    p.setPen(QPen(EventMark, 1));
    QVector<QLineF> marks;
    for (int lastX = -1; e != events.end() && e->t <= sc.t1; ++e) {
        const int x = int(plot.X(e->t));
        if (x == lastX)
            continue;
        lastX = x;
        marks.append(QLineF(x + 0.5, area.bottom() + 1, x + 0.5, area.bottom() + MarkPx));
    }
    p.drawLines(marks);
    Traces(p, area, run.Samples(), sc.t0, sc.t1, sc.scales);
    p.setClipRect(area.adjusted(0, 0, 1, MarkPx));
    if (sc.selection) {
        const double x0 = plot.X(sc.selection->first), x1 = plot.X(sc.selection->second);
        p.fillRect(QRectF(std::min(x0, x1), area.top(), std::abs(x1 - x0), area.height()),
                   QColor(255, 255, 255, 50));
    }
    const auto cursor = [&](std::optional<qint64> k, const QColor &colour, const QString &name) {
        if (!k || *k >= run.Samples().Size())
            return;
        const double x = std::round(plot.X(run.Samples().at(*k).t)) + 0.5;
        p.setPen(QPen(colour, 1));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.drawText(QPointF(x + 3, area.top() + fm.ascent() + 2), name);
    };
    cursor(sc.a, ChartOverlay::CursorA, QStringLiteral("A"));
    cursor(sc.b, ChartOverlay::CursorB, QStringLiteral("B"));
    // The pointer's readout: its sample, and the event whose mark it is on.
    QStringList lines;
    std::optional<double> at;
    if (sc.hover && *sc.hover < run.Samples().Size()) {
        lines = ReadoutLines(run, *sc.hover);
        at = run.Samples().at(*sc.hover).t;
    } else if (sc.pointerT) {
        at = sc.pointerT;
    }
    if (sc.event && *sc.event < events.size()) {
        const Event &ev = events[*sc.event];
        lines << ClockText(run.FirstMs(), ev.t, run.OffsetAt(ev.t), QStringLiteral("hh:mm:ss  ")) +
                     QString(ev.text).replace(u'\n', u' ');
    }
    if (at && !lines.isEmpty()) {
        const double x = std::round(plot.X(*at)) + 0.5;
        p.setPen(ChartOverlay::Hover);
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        int w = 0;
        for (const QString &l : lines)
            w = std::max(w, fm.horizontalAdvance(l));
        // Below the cursors' names, so that both stay readable.
        QRectF box(0, area.top() + fm.height() + 6, w + 12, lines.size() * fm.height() + 8);
        // Beside the line, on whichever side it fits; never over the scales.
        box.moveLeft(x + 8 + box.width() <= area.right() ? x + 8 : x - 8 - box.width());
        if (box.left() < area.left())
            box.moveLeft(std::max<double>(area.left(), area.right() - box.width()));
        p.setClipping(false);
        p.fillRect(box, QColor(0, 0, 0, 210));
        p.setPen(ChartOverlay::Hover);
        p.drawRect(box);
        for (int k = 0; k < lines.size(); ++k)
            p.drawText(QPointF(box.left() + 6, box.top() + 4 + fm.ascent() + k * fm.height()),
                       lines[k]);
    }
    p.restore();
}

} // namespace History
