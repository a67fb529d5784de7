// Drawing of the chart onto any painter: the frame, then the traces of a sample store, with the
// chart's own mapping. The screen and the print-out share it.
#pragma once

#include "ChartScale.h"

#include <QColor>

class QPainter;
class SampleStore;

namespace ChartDraw {

inline const QColor Grid{0, 128, 0};
inline const QColor Volt{255, 255, 0};
inline const QColor Curr{255, 0, 0};

struct FrameStyle {
    QColor ground = Qt::black;
    QColor grid = Grid;
    qreal pen = 1; // the centre lines take twice this
};
// The ground, the 10 x 10 grid and the two centre lines at twice the pen width.
void Frame(QPainter &p, const ChartScale::Mapping &m, const FrameStyle &style = {});
// Current, then voltage over it: one line between neighbouring slots 2..3600 that both hold a
// sample and reach into the time window. Slot k lies at 2 k interval / 1000 half-seconds.
// An axis whose range is empty draws nothing.
void Traces(QPainter &p, const ChartScale::Mapping &m, const SampleStore &store, qint64 intervalMs,
            const QColor &volt = Volt, const QColor &curr = Curr, qreal pen = 1);

} // namespace ChartDraw
