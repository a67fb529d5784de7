// Moving and zooming the chart with the mouse: the scale changes one division's drag makes.
// Every change is written into the labels and fields of the scale, which the drawing reads back.
#pragma once

#include "ChartScale.h"

namespace LogView {

struct Axes {
    bool volt = false, curr = false, time = false;
};

// How far the anchor of a drag moves, in divisions (-1, 0 or 1 each way).
struct Anchor {
    int x = 0, y = 0;
};

// A drag of (dx, dy) from the anchor in Move mode, in divisions of the surface. Nothing happens
// unless one of them exceeds a whole division. Dragging left shows later times, dragging up
// lower values.
Anchor MoveStep(ChartScale::Scale &scale, const Axes &axes, double dx, double dy);

// A vertical drag of dy divisions in Zoom mode: down widens every marked axis by 1.5, up
// narrows it, around the middle of the chart. The limits hold whether the supply answered.
Anchor ZoomStep(ChartScale::Scale &scale, const Axes &axes, double dy, bool connected,
                float maxVolt, float maxCurr);

} // namespace LogView
