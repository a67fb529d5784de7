#include "SimLoad.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace SimLoad {

std::optional<std::vector<Step>> ParseSchedule(const QString &text) {
    std::vector<Step> steps;
    const QStringList parts = text.split(u',');
    for (int k = 0; k < parts.size(); ++k) {
        QString part = parts[k].trimmed();
        qint64 fromMs = 0;
        if (const qsizetype at = part.indexOf(u'@'); at >= 0) {
            QString when = part.mid(at + 1).trimmed();
            part.truncate(at);
            double scale = 1000;
            if (when.endsWith(QLatin1String("ms")))
                when.chop(2), scale = 1;
            else if (when.endsWith(u's'))
                when.chop(1);
            bool ok = false;
            const double t = when.toDouble(&ok);
            if (!ok || t < 0)
                return std::nullopt;
            fromMs = qint64(std::llround(t * scale));
        } else if (k > 0) {
            return std::nullopt; // every value after the first says when it begins
        }
        bool ok = false;
        const float ohm = part.toFloat(&ok);
        if (!ok || !(ohm > 0) || (!steps.empty() && fromMs <= steps.back().fromMs))
            return std::nullopt;
        steps.push_back({fromMs, ohm});
    }
    return steps;
}

Flow IntoResistor(float volt, float curr, float ohm) {
    if (ohm > 0 && volt / ohm > curr)
        return {curr * ohm, curr, true};
    return {volt, ohm > 0 ? volt / ohm : 0.0f, false};
}

std::optional<Cell> Cell::Parse(const QString &text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 1 && parts.size() != 3)
        return std::nullopt;
    bool ok1 = false, ok2 = true, ok3 = true;
    const double capacity = parts[0].toDouble(&ok1);
    const double full = parts.size() == 3 ? parts[1].toDouble(&ok2) : 4.2;
    const double ohm = parts.size() == 3 ? parts[2].toDouble(&ok3) : 0.1;
    if (!ok1 || !ok2 || !ok3 || !(capacity > 0) || !(full > 0) || !(ohm > 0))
        return std::nullopt;
    return Cell(capacity, full, ohm);
}

double Cell::OpenVolt(double charge) const {
    // A lithium-ion cell's resting voltage against its charge, as fractions of the full 4.2 V.
    static const double at[][2] = {{0, 3.00}, {0.05, 3.40}, {0.1, 3.55}, {0.2, 3.65},
                                   {0.5, 3.80}, {0.8, 4.00}, {0.9, 4.08}, {1.0, 4.20}};
    double v;
    if (charge >= 1) {
        v = 4.20 + (charge - 1) * 6; // overcharged: it climbs steeply
    } else if (charge <= 0) {
        v = 3.00;
    } else {
        size_t k = 1;
        while (at[k][0] < charge)
            ++k;
        const double f = (charge - at[k - 1][0]) / (at[k][0] - at[k - 1][0]);
        v = at[k - 1][1] + f * (at[k][1] - at[k - 1][1]);
    }
    return v / 4.20 * full_;
}

Flow Cell::Now(float volt, float curr) const {
    const double open = OpenVolt(charged);
    if (volt <= open)
        return {float(open), 0.0f, false}; // the supply cannot take current back
    const double wanted = (volt - open) / ohm_;
    if (wanted > curr)
        return {float(open + curr * ohm_), curr, true};
    return {volt, float(wanted), false};
}

Flow Cell::Feed(float volt, float curr, qint64 nowMs) {
    if (lastMs_ && nowMs > *lastMs_) {
        // The setpoints held since the last call; steps of a model second at most, for the
        // taper's sake at high speeds.
        double left = double(nowMs - *lastMs_) / 1000 * speed;
        while (left > 0) {
            const double dt = std::min(left, 1.0);
            charged += double(Now(lastVolt_, lastCurr_).curr) * dt / 3600 / capacityAh_;
            left -= dt;
        }
    }
    lastMs_ = nowMs, lastVolt_ = volt, lastCurr_ = curr;
    return Now(volt, curr);
}

} // namespace SimLoad
