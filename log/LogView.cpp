#include "LogView.h"

#include "Module1.h"

#include <cmath>

using namespace ChartScale;
using Module1::nearest;

namespace LogView {

namespace {

// Every time label moved by `seconds`; TMin follows the first.
void ShiftTime(Scale &s, double seconds) {
    for (QString &label : s.time)
        label = TimeText(nearest(Seconds(label) + seconds));
    s.field[TimeMin] = s.time[0];
}

template <size_t N>
void ShiftValues(std::array<QString, N> &labels, double by, QString (*text)(double)) {
    for (QString &label : labels)
        label = text(Number(label) + by);
}

// Labels around the middle one, which keeps its value.
template <size_t N>
void Around(std::array<QString, N> &labels, double perDiv, QString (*text)(double)) {
    const double middle = Number(labels[5]);
    for (int i = 1; i <= 5; ++i) {
        labels[size_t(5 - i)] = text(middle - i * perDiv);
        labels[size_t(5 + i)] = text(middle + i * perDiv);
    }
}

// One value axis: the per-division field times or over 1.5 (out only below `limit`), and while
// the new value stays below `aroundBelow` the labels around the middle one; the bottom label is
// the axis minimum.
template <size_t N>
void ZoomAxis(QString &perDivField, std::array<QString, N> &labels, QString &minField, bool out,
              double limit, double aroundBelow, QString (*text)(double)) {
    const double perDiv = Number(perDivField);
    if (out && perDiv >= limit)
        return;
    perDivField = text(out ? perDiv * 1.5 : perDiv / 1.5);
    if (const double now = Number(perDivField); now < aroundBelow) {
        Around(labels, now, text);
        minField = labels[0];
    }
}

} // namespace

Anchor MoveStep(Scale &s, const Axes &axes, double dx, double dy) {
    Anchor moved;
    if (std::abs(dx) <= 1 && std::abs(dy) <= 1)
        return moved;
    if (axes.time && std::abs(dx) > 1) {
        const double perDiv = Seconds(s.field[TimeDiv]);
        moved.x = dx < 0 ? -1 : 1;
        ShiftTime(s, dx < 0 ? perDiv : -perDiv);
    }
    if (std::abs(dy) > 1 && (axes.curr || axes.volt)) {
        const double sign = dy < 0 ? -1 : 1;
        if (axes.curr) {
            ShiftValues(s.curr, sign * Number(s.field[CurrDiv]), CurrText);
            s.field[CurrMin] = s.curr[0];
        }
        if (axes.volt) {
            ShiftValues(s.volt, sign * Number(s.field[VoltDiv]), VoltText);
            s.field[VoltMin] = s.volt[0];
        }
        moved.y = int(sign);
    }
    return moved;
}

Anchor ZoomStep(Scale &s, const Axes &axes, double dy, bool connected, float maxVolt,
                float maxCurr) {
    Anchor moved;
    if (std::abs(dy) <= 1)
        return moved;
    const bool out = dy > 0;
    moved.y = out ? 1 : -1;
    if (axes.time) {
        const double t0 = Seconds(s.time[0]), t5 = Seconds(s.time[5]);
        double perDiv = out ? std::floor((t5 - t0) / 10 * 1.5) : std::trunc((t5 - t0) / 10 / 1.5);
        if (out && perDiv == 1)
            perDiv = 2;
        if (perDiv >= 1) { // no closer than a second a division
            const double c = nearest(t0 + (t5 - t0) / 2);
            const double start = c - 5 * perDiv;
            for (int i = 0; i < 6; ++i)
                s.time[size_t(i)] = TimeText(nearest(2 * i * perDiv + start));
            s.field[TimeDiv] = std::fmod(perDiv, 60) == 0 ? Module1::NumStr(perDiv / 60) + u'm'
                                                          : Module1::NumStr(perDiv) + u's';
            s.field[TimeMin] = s.time[0];
        }
    }
    if (axes.volt)
        ZoomAxis(s.field[VoltDiv], s.volt, s.field[VoltMin], out, connected ? 20.0 * maxVolt : 600,
                 HUGE_VAL, VoltText);
    if (axes.curr)
        ZoomAxis(s.field[CurrDiv], s.curr, s.field[CurrMin], out, connected ? 20.0 * maxCurr : 60,
                 10, CurrText);
    return moved;
}

} // namespace LogView
