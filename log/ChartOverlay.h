// The marks drawn over the chart's image: the hover line with its readout and the cursors A
// and B, on the screen and in a saved image alike. The chart beneath is never redrawn for them.
#pragma once

#include "ChartReadout.h"

class QPainter;

namespace ChartOverlay {

// `scale` multiplies line widths and the readout's font, for images larger than the screen.
void Draw(QPainter &p, const ChartScale::Mapping &m, const ChartReadout::Slots &chart,
          const ChartReadout::Cursors &cursors, qreal scale = 1);

} // namespace ChartOverlay
