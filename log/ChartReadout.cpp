#include "ChartReadout.h"

#include "Module1.h"
#include "SampleStore.h"

#include <algorithm>
#include <cmath>

using Module1::Format;

namespace ChartReadout {

std::optional<QDateTime> Slots::ClockTime(int slot) const {
    if (!newest)
        return std::nullopt;
    return newest->addMSecs(-(slot - 1) * intervalMs);
}

void Cursors::Click(int slot) {
    if (!a || b) {
        a = slot;
        b.reset();
    } else {
        b = slot;
    }
}

void Cursors::Shift(int by) {
    for (std::optional<int> *c : {&hover, &a, &b})
        if (*c && (**c += by) > SampleStore::Slots)
            c->reset();
}

double XOf(const Slots &chart, const ChartScale::Mapping &m, int slot) {
    return (chart.HalfSeconds(slot) - m.T0) / (m.T1 - m.T0) * m.W;
}

std::optional<std::pair<int, int>> WindowSlots(const Slots &chart, const ChartScale::Mapping &m) {
    if (!m.TimeOk() || m.T1 < m.T0)
        return std::nullopt;
    const double perSlot = chart.HalfSeconds(1);
    const int newest = std::max(FirstDrawn, int(std::ceil(m.T0 / perSlot - 1e-9)));
    const int oldest = std::min(SampleStore::Slots, int(std::floor(m.T1 / perSlot + 1e-9)));
    if (newest > oldest)
        return std::nullopt;
    return std::pair{newest, oldest};
}

std::optional<int> SlotAt(const Slots &chart, const ChartScale::Mapping &m, double x) {
    const auto window = WindowSlots(chart, m);
    if (!window || !chart.store)
        return std::nullopt;
    const double t = m.T0 + x / m.W * (m.T1 - m.T0);
    const int nearest =
        std::clamp(int(std::lround(t / chart.HalfSeconds(1))), window->first, window->second);
    // The nearest sample within a few pixels or the neighbouring slots: a sample elsewhere is
    // not the one pointed at.
    const double slotPx = std::abs(XOf(chart, m, 2) - XOf(chart, m, 1));
    const int reach = slotPx >= SearchPx ? 1 : int(SearchPx / std::max(slotPx, 1e-9));
    std::optional<int> best;
    double bestPx = std::max(SearchPx, slotPx);
    for (int k = std::max(nearest - reach, window->first);
         k <= std::min(nearest + reach, window->second); ++k) {
        const double px = std::abs(XOf(chart, m, k) - x);
        if (chart.store->Present(k) && px < bestPx)
            best = k, bestPx = px;
    }
    return best;
}

QString AxisText(double seconds) {
    if (seconds == std::floor(seconds))
        return ChartScale::TimeText(seconds);
    return Module1::NumStr(seconds) + u's';
}

QStringList Readout(const Slots &chart, int slot) {
    const double v = chart.store->at(1, slot), i = chart.store->at(2, slot);
    QString when = AxisText(chart.AxisSeconds(slot));
    if (const auto clock = chart.ClockTime(slot))
        when += QStringLiteral("  ") + clock->toString(chart.intervalMs % 1000
                                                           ? QStringLiteral("hh:mm:ss.z")
                                                           : QStringLiteral("hh:mm:ss"));
    return QStringList{when} + ValueTexts(v, i);
}

QStringList ValueTexts(double v, double i) {
    return {Format(v, QStringLiteral("00.00")) + QStringLiteral(" V"),
            Format(i, QStringLiteral("0.000")) + QStringLiteral(" A"),
            Format(v * i, QStringLiteral("0.00")) + QStringLiteral(" W")};
}

Stats Compute(const SampleStore &store, int a, int b, qint64 intervalMs, bool pair) {
    const int from = std::clamp(std::min(a, b), 1, SampleStore::Slots);
    int to = std::clamp(std::max(a, b), 1, SampleStore::Slots);
    // Slots older than the first sample were never sampled: not gaps, not part of the stretch.
    int oldest = SampleStore::Slots;
    while (oldest > 0 && !store.Present(oldest))
        --oldest;
    to = std::min(to, oldest);
    if (to < from)
        return {};
    StretchStats::Accumulator sum;
    for (int k = from; k <= to; ++k) {
        const bool here = store.Present(k);
        sum.Add(double(k) * intervalMs / 1000, here ? store.at(1, k) : NAN,
                here ? store.at(2, k) : NAN);
    }
    Stats s = sum.Result();
    if (pair && store.Present(a) && store.Present(b)) {
        s.dV = double(store.at(1, b)) - store.at(1, a);
        s.dI = double(store.at(2, b)) - store.at(2, a);
    }
    return s;
}

namespace {
QString Scaled(double value, const QString &unit, const QString &pattern) {
    if (std::abs(value) < 1)
        return Format(value * 1000, QStringLiteral("0.0")) + QStringLiteral(" m") + unit;
    return Format(value, pattern) + u' ' + unit;
}
} // namespace

QString ChargeText(double ah) {
    return Scaled(ah, QStringLiteral("Ah"), QStringLiteral("0.000"));
}

QString EnergyText(double wh) {
    return Scaled(wh, QStringLiteral("Wh"), QStringLiteral("0.00"));
}

QString DurationText(double seconds) {
    if (seconds < 60)
        return Format(seconds, QStringLiteral("0.0")) + QStringLiteral(" s");
    const qint64 whole = std::llround(seconds);
    const QString mmss = QStringLiteral("%1:%2")
                             .arg(whole / 60 % 60, whole >= 3600 ? 2 : 1, 10, QLatin1Char('0'))
                             .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return whole >= 3600 ? QString::number(whole / 3600) + u':' + mmss : mmss;
}

QList<QPair<QString, QString>> Rows(const Stats &s, bool betweenCursors) {
    const auto volt = [](double v) { return Format(v, QStringLiteral("00.00")); };
    const auto curr = [](double i) { return Format(i, QStringLiteral("0.000")); };
    QList<QPair<QString, QString>> rows{
        {QStringLiteral("Stretch"),
         betweenCursors ? QStringLiteral("cursors A-B") : QStringLiteral("time window")},
        {QStringLiteral("Duration"), DurationText(s.seconds)},
        {QStringLiteral("Samples"), QStringLiteral("%1, gaps %2").arg(s.samples).arg(s.gaps)},
    };
    if (s.samples) {
        rows << QPair<QString, QString>{QStringLiteral("V min/max"), volt(s.vMin) + u' ' + u'/' +
                                                                         u' ' + volt(s.vMax) +
                                                                         QStringLiteral(" V")}
             << QPair<QString, QString>{QStringLiteral("V mean"),
                                        volt(s.vMean) + QStringLiteral(" V")}
             << QPair<QString, QString>{QStringLiteral("I min/max"), curr(s.iMin) + u' ' + u'/' +
                                                                         u' ' + curr(s.iMax) +
                                                                         QStringLiteral(" A")}
             << QPair<QString, QString>{QStringLiteral("I mean"),
                                        curr(s.iMean) + QStringLiteral(" A")};
    }
    rows << QPair<QString, QString>{QStringLiteral("Charge"), ChargeText(s.ah)}
         << QPair<QString, QString>{QStringLiteral("Energy"), EnergyText(s.wh)};
    if (s.skipped)
        rows << QPair<QString, QString>{QStringLiteral("Left out"),
                                        QStringLiteral("%1 segment%2 by gaps")
                                            .arg(s.skipped)
                                            .arg(s.skipped == 1 ? QString() : QStringLiteral("s"))};
    if (s.dV)
        rows << QPair<QString, QString>{
            QStringLiteral("\u0394V, \u0394I"),
            Format(*s.dV, QStringLiteral("0.00")) + QStringLiteral(" V, ") +
                Format(*s.dI, QStringLiteral("0.000")) + QStringLiteral(" A")};
    return rows;
}

} // namespace ChartReadout
