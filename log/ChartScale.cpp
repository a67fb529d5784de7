#include "ChartScale.h"

#include <QLocale>

#include "Module1.h"

#include <algorithm>
#include <cmath>

using namespace Module1;

namespace ChartScale {

namespace {

const QString VoltPattern = QStringLiteral("00.0");
const QString CurrPattern = QStringLiteral("0.00");

// Far beyond any surface, and still an int: a point off the chart stays off it.
int ToPixel(double v) {
    return int(std::clamp(nearest(v), -1.0e7, 1.0e7));
}

bool EndsIn(const QString &text, QChar unit) {
    return text.endsWith(unit);
}

// The shortest digits that read back as `value`, never in exponent form: a time field of
// "1e-04m" would read back as 1 minute.
QString PlainNum(double value) {
    const QString text = NumStr(value);
    if (!text.contains(u'e'))
        return text;
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace

QString VoltText(double volt) {
    return Format(volt, VoltPattern) + u'V';
}

QString CurrText(double curr) {
    return Format(curr, CurrPattern) + u'A';
}

QString TimeText(double seconds) {
    if (std::fmod(seconds, 60) != 0)
        return NumStr(seconds) + u's';
    return NumStr(seconds / 60) + u'm';
}

double Number(const QString &text, bool normalise) {
    return LeadingNumber(normalise ? NormDecimalStr(text) : text);
}

double Seconds(const QString &text) {
    return Number(text) * (EndsIn(text, u'm') ? 60 : 1);
}

QStringList List(int index, float maxVolt, float maxCurr) {
    QStringList list;
    switch (index) {
    case VoltDiv:
        for (float v : {10.0f, 5.0f, 2.0f, 1.0f, 0.5f, 0.2f, 0.1f})
            list << Format(v, VoltPattern) + u'V';
        break;
    case VoltMin:
        for (int i = 9; i >= 0; --i)
            list << Format(maxVolt / 10 * float(i), VoltPattern) + u'V';
        break;
    case CurrDiv:
        for (float v : {0.5f, 0.2f, 0.1f, 0.05f, 0.02f, 0.01f})
            list << Format(v, CurrPattern) + u'A';
        break;
    case CurrMin:
        for (int i = 9; i >= 0; --i)
            list << Format(maxCurr / 10 * float(i), CurrPattern) + u'A';
        break;
    case TimeDiv:
        list = {"1s", "3s", "6s", "15s", "30s", "1m", "3m", "6m"};
        break;
    case TimeMin:
        for (int i = 0; i <= 11; ++i)
            list << QString::number(i * 5) + u'm';
        break;
    }
    return list;
}

Scale StartScale(bool connected, float maxVolt, float maxCurr) {
    Scale s;
    s.field[VoltDiv] =
        connected ? Format(maxVolt / 10, VoltPattern) + u'V' : QStringLiteral("03.0V");
    s.field[VoltMin] = QStringLiteral("00.0V");
    s.field[CurrDiv] =
        connected ? Format(maxCurr / 10, CurrPattern) + u'A' : QStringLiteral("0.30A");
    s.field[CurrMin] = QStringLiteral("0.00A");
    s.field[TimeDiv] = QStringLiteral("30s");
    s.field[TimeMin] = QStringLiteral("0m");
    VoltLabels(s, false);
    CurrLabels(s, false);
    TimeLabels(s, false);
    return s;
}

void Defaults(Scale &s, float maxVolt, float maxCurr) {
    for (int i = 0; i <= 10; ++i) {
        s.curr[size_t(i)] = Format(float(i) * maxCurr / 10, CurrPattern) + u'A';
        s.volt[size_t(i)] = Format(float(i) * maxVolt / 10, VoltPattern) + u'V';
        if (i % 2 == 0)
            s.time[size_t(i / 2)] = QString::number(i / 2) + u'm';
    }
    s.field[VoltDiv] = Format(maxVolt / 10, VoltPattern) + u'V';
    s.field[VoltMin] = Format(0.0, VoltPattern) + u'V';
    s.field[CurrDiv] = Format(maxCurr / 10, CurrPattern) + u'A';
    s.field[CurrMin] = Format(0.0, CurrPattern) + u'A';
    s.field[TimeDiv] = QStringLiteral("30s");
    s.field[TimeMin] = QStringLiteral("0m");
}

void VoltLabels(Scale &s, bool normalise) {
    const double min = Number(s.field[VoltMin], normalise);
    const double perDiv = Number(s.field[VoltDiv], normalise);
    for (int i = 0; i <= 10; ++i)
        s.volt[size_t(i)] = VoltText(min + i * perDiv);
}

void CurrLabels(Scale &s, bool normalise) {
    const double min = Number(s.field[CurrMin], normalise);
    const double perDiv = Number(s.field[CurrDiv], normalise);
    for (int i = 0; i <= 10; ++i)
        s.curr[size_t(i)] = CurrText(min + i * perDiv);
}

void TimeLabels(Scale &s, bool normalise) {
    const QString &div = s.field[TimeDiv];
    const QString &start = s.field[TimeMin];
    const double t0 = Number(start, normalise) * (EndsIn(start, u'm') ? 60 : 1);
    const double perDiv = Number(div, normalise);
    const bool minutes = EndsIn(div, u'm');
    for (int i = 0; i < 6; ++i)
        s.time[size_t(i)] =
            TimeText(nearest(minutes ? i * perDiv * 120 + t0 : 2 * i * perDiv + t0));
}

bool KeyEdit(Scale &s, int index, int key, float maxVolt, float maxCurr) {
    if (key != KeyEnter && key != KeyLeft && key != KeyRight)
        return false;
    QString &text = s.field[size_t(index)];
    const double vf = Number(text);
    switch (index) {
    case VoltDiv:
    case VoltMin:
    case CurrDiv:
    case CurrMin: {
        const bool volt = index <= VoltMin, perDiv = index == VoltDiv || index == CurrDiv;
        const float max = volt ? maxVolt : maxCurr;
        const QString &pattern = volt ? VoltPattern : CurrPattern;
        const QChar unit = volt ? u'V' : u'A';
        // A value its field writes as 0 ("00.0V" for 0.03) is 0: it would collapse the axis.
        const double shown = Number(Format(vf, pattern));
        if (perDiv && (shown <= 0 || vf > max))
            text = Format(max / 10, pattern) + (volt ? u'v' : u'A'); // sic: a lower-case v
        else if (!perDiv && (vf > max || vf < -max))
            text = Format(0.0, pattern) + unit;
        if (volt)
            VoltLabels(s, false);
        else
            CurrLabels(s, false);
        text = Format(Number(text), pattern).left(4) + unit;
        return true;
    }
    case TimeDiv: {
        const QChar last = text.isEmpty() ? QChar() : text.back();
        const QChar unit = (last == u'm' || last == u'M') ? u'm' : u's';
        text = PlainNum(vf) + unit;
        if (vf <= 0 || vf > 360)
            text = QStringLiteral("1m");
        TimeLabels(s, false);
        return true;
    }
    case TimeMin: {
        const QChar last = text.isEmpty() ? QChar() : text.back();
        const QChar unit = (last == u's' || last == u'S') ? u's' : u'm';
        const double n = vf + (key == KeyRight ? 1 : key == KeyLeft ? -1 : 0);
        text = PlainNum(n) + unit;
        if (unit == u's' && (n < -3600 || n > 3600))
            text = QStringLiteral("0s");
        else if (unit == u'm' && (n < -60 || n > 900))
            text = QStringLiteral("0m");
        TimeLabels(s, false);
        return true;
    }
    }
    return false;
}

void Pick(Scale &s, int index) {
    if (index == VoltDiv || index == VoltMin) {
        VoltLabels(s, true);
        if (Number(s.field[size_t(index)], true) == 0)
            s.field[size_t(index)] = Format(0.0, VoltPattern) + u'V';
    } else if (index == CurrDiv || index == CurrMin) {
        CurrLabels(s, true);
        if (Number(s.field[size_t(index)], true) == 0)
            s.field[size_t(index)] = Format(0.0, CurrPattern) + u'A';
    } else if (index == TimeDiv || index == TimeMin) {
        TimeLabels(s, true);
    }
    if (Number(s.field[TimeDiv], true) == 0)
        s.field[TimeDiv] = QStringLiteral("1s");
}

int Mapping::X(double t) const {
    return ToPixel((t - T0) / (T1 - T0) * W);
}

int Mapping::Y(double value, double min, double max) const {
    return ToPixel(H - (value - min) / (max - min) * H);
}

Mapping ReadMapping(const Scale &s, int width, int height, double offsetHalfS, bool normalise) {
    auto halfSeconds = [&](const QString &label) {
        return nearest(Number(label, normalise) * (EndsIn(label, u'm') ? 120 : 2) + offsetHalfS);
    };
    Mapping m;
    m.T0 = halfSeconds(s.time[0]);
    m.T1 = halfSeconds(s.time[5]);
    m.iMin = Number(s.curr[0], normalise);
    m.iMax = Number(s.curr[10], normalise);
    m.vMin = Number(s.volt[0], normalise);
    m.vMax = Number(s.volt[10], normalise);
    m.W = width;
    m.H = int(nearest(height - 1.0));
    return m;
}

} // namespace ChartScale
