#include "HistoryAxes.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <cmath>

namespace History {

namespace {

QDateTime Local(qint64 firstMs, double t, int offsetS) {
    // The clock the recording was written in, whatever this computer's zone is.
    return QDateTime::fromMSecsSinceEpoch(firstMs + qint64(std::llround(t * 1000)) + offsetS * 1000LL,
                                          QTimeZone::utc());
}

// Steps a tick may take, in seconds: round numbers of the clock.
constexpr double Steps[] = {0.1,  0.2,  0.5,   1,     2,     5,     10,    15,    30,     60,
                            120,  300,  600,   900,   1800,  3600,  7200,  10800, 21600,  43200,
                            86400, 172800, 259200, 604800};

double NiceStep(double atLeast) {
    const double decade = std::pow(10.0, std::floor(std::log10(atLeast)));
    for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * decade >= atLeast * (1 - 1e-9))
            return m * decade;
    return 10 * decade;
}

} // namespace

QString ElapsedText(double seconds) {
    return ElapsedText(seconds, 60);
}

QString ElapsedText(double seconds, double step) {
    const bool fraction = step < 1;
    const qint64 tenths = std::llround(std::max(0.0, seconds) * 10);
    const qint64 whole = tenths / 10, days = whole / 86400, rest = whole % 86400;
    const qint64 h = rest / 3600, m = rest / 60 % 60, s = rest % 60;
    QString text = QStringLiteral("+");
    if (days)
        text += QStringLiteral("%1d %2").arg(days).arg(h, 2, 10, QLatin1Char('0'));
    else
        text += QString::number(h);
    text += QStringLiteral(":%1").arg(m, 2, 10, QLatin1Char('0'));
    if (step < 60)
        text += QStringLiteral(":%1").arg(s, 2, 10, QLatin1Char('0'));
    if (fraction)
        text += QStringLiteral(".%1").arg(tenths % 10);
    return text;
}

QString ClockText(qint64 firstMs, double t, int offsetS, const QString &format) {
    return QLocale::c().toString(Local(firstMs, t, offsetS), format);
}

std::vector<TimeTick> TimeTicks(double t0, double t1, int widthPx, qint64 firstMs,
                                const std::function<int(double)> &offsetAt, double minPx) {
    std::vector<TimeTick> ticks;
    if (!(t1 > t0) || widthPx <= 0)
        return ticks;
    const double least = (t1 - t0) * minPx / widthPx;
    double step = Steps[std::size(Steps) - 1];
    for (const double s : Steps)
        // Labels with seconds, and tenths, are longer.
        if (s >= least * (s < 1 ? 1.5 : s < 60 ? 1.3 : 1)) {
            step = s;
            break;
        }
    if (least > step)
        step = std::ceil(least / 604800) * 604800;
    // Whole steps of the local clock: local seconds since the epoch, cut to the step.
    const double base = double(firstMs) / 1000 + offsetAt(t0);
    const double first = std::ceil((base + t0) / step - 1e-6);
    const QString format = step < 1    ? QStringLiteral("hh:mm:ss.z")
                           : step < 60 ? QStringLiteral("hh:mm:ss")
                                       : QStringLiteral("hh:mm");
    QDate lastDate;
    for (int k = 0; k < 1000; ++k) {
        // From the tick's number each time: the epoch's seconds leave little room for sums.
        const double t = (first + k) * step - base;
        if (t > t1 + step * 1e-3)
            break;
        const QDateTime when = Local(firstMs, t, offsetAt(t));
        // Whole days are their dates alone.
        QString clock = step >= 86400 ? QString() : QLocale::c().toString(when, format);
        if (step >= 86400)
            clock = QLocale::c().toString(when, QStringLiteral("d MMM"));
        else if (when.date() != lastDate)
            clock = QLocale::c().toString(when, QStringLiteral("d MMM ")) + clock;
        lastDate = when.date();
        ticks.push_back({t, clock, ElapsedText(t, step)});
    }
    return ticks;
}

Scales Fit(const Extremes &e) {
    Scales out;
    if (!e.Any()) {
        out.volt = {0, 10, 1, 10};
        out.curr = {0, 1, 0.1, 10};
        return out;
    }
    const auto widen = [](double &lo, double &hi) {
        if (hi - lo < 1e-6) {
            const double pad = std::max(0.01, std::abs(hi) * 0.05);
            lo -= pad, hi += pad;
        }
    };
    double vLo = e.vMin, vHi = e.vMax, iLo = e.iMin, iHi = e.iMax;
    widen(vLo, vHi), widen(iLo, iHi);
    // No finer than the readings themselves: 0.01 V and 0.001 A.
    double step = std::max(0.01, NiceStep((vHi - vLo) / 10));
    for (; std::ceil(vHi / step - 1e-9) - std::floor(vLo / step + 1e-9) > 10;)
        step = NiceStep(step * 1.0001);
    ValueScale &v = out.volt;
    v.step = step;
    v.min = std::floor(vLo / step + 1e-9) * step;
    v.divisions = std::max(4, int(std::ceil(vHi / step - 1e-9) - std::floor(vLo / step + 1e-9)));
    v.max = v.min + v.divisions * step;
    // Current on the same divisions: the smallest round step that holds it in as many.
    ValueScale &c = out.curr;
    c.divisions = v.divisions;
    c.step = std::max(0.001, NiceStep((iHi - iLo) / c.divisions));
    for (; std::floor(iLo / c.step + 1e-9) * c.step + c.divisions * c.step < iHi - 1e-12;)
        c.step = NiceStep(c.step * 1.0001);
    c.min = std::floor(iLo / c.step + 1e-9) * c.step;
    c.max = c.min + c.divisions * c.step;
    return out;
}

} // namespace History
