// The marks drawn over the chart's image: the hover line with its readout and the cursors A
// and B, on the screen and in a saved image alike. The chart beneath is never redrawn for them.
#pragma once

#include "ChartReadout.h"

#include <QColor>

class QPainter;

namespace ChartOverlay {

inline const QColor Hover{200, 200, 200}, CursorA{0, 200, 255}, CursorB{255, 0, 255};

// `scale` multiplies line widths and the readout's font, for images larger than the screen.
void Draw(QPainter &p, const ChartScale::Mapping &m, const ChartReadout::Slots &chart,
          const ChartReadout::Cursors &cursors, qreal scale = 1);

} // namespace ChartOverlay
