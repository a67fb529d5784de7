#include "ChartDraw.h"

#include "Module1.h"
#include "SampleStore.h"

#include <QPainter>
#include <QPolygon>

using Module1::nearest;

namespace ChartDraw {

void Frame(QPainter &p, const ChartScale::Mapping &m, const FrameStyle &style) {
    const int W = m.W, H = m.H;
    p.fillRect(QRect(0, 0, W + 1, H + 1), style.ground);
    p.setPen(QPen(style.grid, style.pen));
    if (const int step = int(nearest(H / 10.0)); step > 0)
        for (int y = step; y <= H; y += step)
            p.drawLine(0, y, W, y);
    if (const int step = int(nearest(W / 10.0)); step > 0)
        for (int x = step; x <= W; x += step)
            p.drawLine(x, 0, x, H);
    p.setPen(QPen(style.grid, 2 * style.pen));
    p.drawLine(0, int(nearest(H / 2.0)), W, int(nearest(H / 2.0)));
    p.drawLine(int(nearest(W / 2.0)), 0, int(nearest(W / 2.0)), H);
    p.setPen(QPen(style.grid, style.pen));
}

namespace {

void Channel(QPainter &p, const ChartScale::Mapping &m, const SampleStore &store, qint64 intervalMs,
             int channel, const QColor &colour, qreal pen) {
    const bool volt = channel == 1;
    if (!m.TimeOk() || !(volt ? m.VoltOk() : m.CurrOk()))
        return; // the range is empty: nothing maps into it
    p.setPen(QPen(colour, pen));
    // Runs of neighbouring segments go out as one polyline each.
    QPolygon run;
    run.reserve(SampleStore::Slots);
    auto point = [&](int slot) {
        const double t = 2.0 * slot * intervalMs / 1000;
        const float v = store.at(channel, slot);
        return QPoint(m.X(t), volt ? m.YVolt(v) : m.YCurr(v));
    };
    auto flush = [&] {
        if (run.size() > 1)
            p.drawPolyline(run);
        run.clear();
    };
    for (int k = 2; k < SampleStore::Slots; ++k) {
        const double tNew = 2.0 * k * intervalMs / 1000;
        const double tOld = 2.0 * (k + 1) * intervalMs / 1000;
        const bool drawn = store.at(channel, k) != SampleStore::None &&
                           store.at(channel, k + 1) != SampleStore::None && tOld > m.T0 &&
                           tNew < m.T1;
        if (!drawn) {
            flush();
            continue;
        }
        if (run.isEmpty())
            run << point(k);
        run << point(k + 1);
    }
    flush();
}

} // namespace

void Traces(QPainter &p, const ChartScale::Mapping &m, const SampleStore &store, qint64 intervalMs,
            const QColor &volt, const QColor &curr, qreal pen) {
    Channel(p, m, store, intervalMs, 2, curr, pen);
    Channel(p, m, store, intervalMs, 1, volt, pen);
}

} // namespace ChartDraw
