// The chart's scale: the texts of the six scale fields and of the axis labels, and the rules that
// turn field edits into labels. The labels are the scale: drawing reads it back from them.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace ChartScale {

// Combo3 indexes.
enum Field { LogName = 0, VoltDiv, VoltMin, CurrDiv, CurrMin, TimeDiv, TimeMin, FieldCount };
constexpr int KeyEnter = 13, KeyLeft = 37, KeyRight = 39;

struct Scale {
    std::array<QString, FieldCount> field; // Combo3 texts
    std::array<QString, 11> volt;          // Label4, bottom to top
    std::array<QString, 11> curr;          // Label3, bottom to top
    std::array<QString, 6> time;           // Label9, left to right, every second division
};

QString VoltText(double volt); // "00.0" + "V"
QString CurrText(double curr); // "0.00" + "A"
// Whole seconds: "90s", or minutes when a multiple of 60 ("2m", "0m").
QString TimeText(double seconds);
// A label or field number; `normalise` takes a comma as the decimal point first.
double Number(const QString &text, bool normalise = false);
// Seconds of a time text: minutes when it ends in "m".
double Seconds(const QString &text);

// The drop-down list of a scale field (1..6).
QStringList List(int index, float maxVolt, float maxCurr);
// Field texts and the labels they give, as start-up sets them.
Scale StartScale(bool connected, float maxVolt, float maxCurr);
// "Default": the supply's full range, 30 s a division from 0.
void Defaults(Scale &scale, float maxVolt, float maxCurr);

// Labels of one axis from its fields.
void VoltLabels(Scale &scale, bool normalise);
void CurrLabels(Scale &scale, bool normalise);
void TimeLabels(Scale &scale, bool normalise);

// A key released in a scale field (1..6): checks and normalises the field and recomputes its
// axis. False, and nothing changed, for keys other than Enter, Left and Right.
bool KeyEdit(Scale &scale, int index, int key, float maxVolt, float maxCurr);
// A value picked from the list of field 1..6.
void Pick(Scale &scale, int index);

// The scale as the drawing maps it: time window in half-seconds, value ranges per axis.
struct Mapping {
    double T0 = 0, T1 = 0;
    double vMin = 0, vMax = 0, iMin = 0, iMax = 0;
    int W = 0, H = 0; // inner width, inner height - 1
    bool TimeOk() const { return T1 != T0; }
    bool VoltOk() const { return vMax != vMin; }
    bool CurrOk() const { return iMax != iMin; }
    int X(double halfSeconds) const;
    int YVolt(double volt) const { return Y(volt, vMin, vMax); }
    int YCurr(double curr) const { return Y(curr, iMin, iMax); }
    int Y(double value, double min, double max) const;
};
// `offsetHalfS` is added to both ends of the time window (4 intervals live, 2 for a log).
Mapping ReadMapping(const Scale &scale, int width, int height, double offsetHalfS, bool normalise);

} // namespace ChartScale
