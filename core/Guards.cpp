#include "Guards.h"

#include <QStringList>
#include <cmath>

namespace Guards {

namespace {

// To a tenth: a hold is met at a poll, and the poll's milliseconds say nothing.
QString Seconds(double s) {
    return QString::number(std::round(s * 10) / 10, 'g', 10) + QStringLiteral(" s");
}

} // namespace

QString Amps(double a) {
    return QString::number(a, 'f', std::abs(a) < 1 ? 3 : 2) + QStringLiteral(" A");
}
QString Volts(double v) {
    return QString::number(v, 'f', 2) + QStringLiteral(" V");
}
QString HoursMinutes(double s) {
    const qint64 minutes = std::llround(s / 60);
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

Kind KindOf(Condition c) {
    switch (c) {
    case CurrentBelowInCv:
    case ChargeReaches:
    case EnergyReaches:
    case TimeReaches:
        return Kind::Done;
    default:
        return Kind::Trip;
    }
}

QString Keyword(Condition c) {
    static const char *const words[ConditionCount] = {"CURR:HIGH", "VOLT:LOW", "VOLT:HIGH",
                                                      "CC",        "CURR:LOW", "CHAR",
                                                      "ENER",      "TIME",     "NREAD"};
    return QLatin1String(words[c]);
}

QString RecordName(Condition c) {
    return QStringLiteral("Guard ") + Keyword(c);
}

Records ToRecords(const Plan &plan) {
    Records records{{MainRecord, QStringLiteral("armed=%1;safe=%2,%3;stoprec=%4")
                                     .arg(plan.armed ? 1 : 0)
                                     .arg(plan.safeVolt, 0, 'f', 2)
                                     .arg(plan.safeCurr, 0, 'f', 3)
                                     .arg(plan.stopRecording ? 1 : 0)}};
    for (int c = 0; c < ConditionCount; ++c) {
        const Setting &g = plan.conditions[size_t(c)];
        records.append({RecordName(Condition(c)), QStringLiteral("%1,%2,%3")
                                                      .arg(g.on ? QStringLiteral("on")
                                                                : QStringLiteral("off"),
                                                           QString::number(g.x, 'g', 8),
                                                           QString::number(g.holdS, 'g', 8))});
    }
    return records;
}

std::optional<Plan> FromRecords(const std::function<std::optional<QString>(const QString &)> &read) {
    const auto main = read(MainRecord);
    if (!main)
        return std::nullopt;
    Plan plan;
    int seen = 0;
    for (const QString &part : main->split(u';')) {
        const QString key = part.section(u'=', 0, 0), value = part.section(u'=', 1);
        const QStringList pair = value.split(u',');
        bool ok1 = false, ok2 = pair.size() == 2;
        const double a = pair.value(0).toDouble(&ok1), b = ok2 ? pair[1].toDouble(&ok2) : 0;
        if (key == u"armed" && (value == u"0" || value == u"1"))
            plan.armed = value == u"1";
        else if (key == u"stoprec" && (value == u"0" || value == u"1"))
            plan.stopRecording = value == u"1";
        else if (key == u"safe" && ok1 && ok2 && a >= 0 && b >= 0 && std::isfinite(a + b))
            plan.safeVolt = a, plan.safeCurr = b;
        else
            return std::nullopt;
        ++seen;
    }
    if (seen != 3)
        return std::nullopt;
    // A condition without its record is not ticked; one that cannot be read arms nothing.
    for (int c = 0; c < ConditionCount; ++c) {
        const auto text = read(RecordName(Condition(c)));
        if (!text)
            continue;
        const QStringList f = text->split(u',');
        bool ok1 = false, ok2 = false;
        const double x = f.value(1).toDouble(&ok1), hold = f.value(2).toDouble(&ok2);
        if (f.size() != 3 || (f[0] != u"on" && f[0] != u"off") || !ok1 || !ok2 ||
            !std::isfinite(x) || !std::isfinite(hold))
            return std::nullopt;
        plan.conditions[size_t(c)] = {f[0] == u"on", x, hold};
    }
    return plan;
}

bool Plausible(double volt, double curr, double maxVolt, double maxCurr) {
    // A little above the limit is the meter's tolerance; far above it is a garbled field.
    const auto within = [](double value, double max) {
        return value >= 0 && (!(max > 0) || value <= max * 1.05 + 0.05);
    };
    return within(volt, maxVolt) && within(curr, maxCurr);
}

QString ArmRefusal(const Settings &s, double maxVolt, double maxCurr, double setCurr) {
    bool any = false;
    for (const Setting &g : s)
        any = any || g.on;
    if (!any)
        return QStringLiteral("No guard is ticked: there is nothing to watch.");
    for (int c = 0; c < ConditionCount; ++c)
        if (s[size_t(c)].on && s[size_t(c)].holdS < 0)
            return QStringLiteral("A hold time cannot be negative.");
    const Setting &above = s[CurrentAbove], &high = s[VoltageAbove], &low = s[CurrentBelowInCv];
    if (above.on && above.x >= maxCurr)
        return QStringLiteral("Current above %1 can never happen: the supply gives %2 at most.")
            .arg(Amps(above.x), Amps(maxCurr));
    if (high.on && high.x >= maxVolt)
        return QStringLiteral("Voltage above %1 can never happen: the supply gives %2 at most.")
            .arg(Volts(high.x), Volts(maxVolt));
    if (low.on && setCurr < low.x)
        return QStringLiteral("The set current %1 is under %2: \"current below %2 in C.V.\" "
                              "would act at once.")
            .arg(Amps(setCurr), Amps(low.x));
    for (const Condition c : {ChargeReaches, EnergyReaches})
        if (s[c].on && !(s[c].x > 0))
            return QStringLiteral("A charge or energy to reach must be above 0.");
    if (s[TimeReaches].on && !(s[TimeReaches].holdS > 0))
        return QStringLiteral("A time limit must be above 0:00.");
    return {};
}

void Watch::Arm(const Settings &settings, double nowS) {
    settings_ = settings;
    armed_ = true;
    armedAtS_ = lastReadingS_ = nowS;
    since_ = {};
}

std::optional<Verdict> Watch::verdict(Condition c, const Reading &r, double heldS) {
    const Setting &g = settings_[size_t(c)];
    const QString held = Seconds(heldS);
    QString what;
    switch (c) {
    case CurrentAbove:
        what = QStringLiteral("current %1 above %2 for %3").arg(Amps(*r.curr), Amps(g.x), held);
        break;
    case VoltageBelow:
        what = QStringLiteral("voltage %1 below %2 for %3, set to %4")
                   .arg(Volts(*r.volt), Volts(g.x), held, Volts(r.setVolt));
        break;
    case VoltageAbove:
        what = QStringLiteral("voltage %1 above %2 for %3").arg(Volts(*r.volt), Volts(g.x), held);
        break;
    case ConstantCurrent:
        what = QStringLiteral("C.C. for %1").arg(held);
        break;
    case CurrentBelowInCv:
        what = QStringLiteral("current %1 below %2 in C.V. for %3")
                   .arg(Amps(*r.curr), Amps(g.x), held);
        break;
    case ChargeReaches:
        what = QStringLiteral("charge reached %1 Ah").arg(g.x, 0, 'f', 3);
        break;
    case EnergyReaches:
        what = QStringLiteral("energy reached %1 Wh").arg(g.x, 0, 'f', 2);
        break;
    case TimeReaches:
        what = QStringLiteral("%1 since arming").arg(HoursMinutes(g.holdS));
        break;
    case NoReading:
        what = QStringLiteral("no reading for %1").arg(held);
        break;
    case ConditionCount:
        return std::nullopt;
    }
    armed_ = false; // a guard acts once
    const Kind kind = KindOf(c);
    return Verdict{c, kind, (kind == Kind::Done ? QStringLiteral("Done: ") : QStringLiteral("Tripped: ")) + what};
}

std::optional<Verdict> Watch::Feed(const Reading &r) {
    if (!armed_)
        return std::nullopt;
    const bool reading = r.volt && r.curr;
    if (reading)
        lastReadingS_ = r.atS;
    for (int k = 0; k < ConditionCount; ++k) {
        const Condition c = Condition(k);
        const Setting &g = settings_[size_t(k)];
        if (!g.on)
            continue;
        bool met = false;
        switch (c) {
        case CurrentAbove:
        case CurrentBelowInCv:
        case VoltageBelow:
        case VoltageAbove:
        case ConstantCurrent:
            // A missing reading neither fulfils nor breaks a hold.
            if (!reading || ((c == ConstantCurrent || c == CurrentBelowInCv) && !r.constantCurrent))
                continue;
            met = c == CurrentAbove       ? *r.curr > g.x
                  : c == CurrentBelowInCv ? *r.curr < g.x && !*r.constantCurrent
                  : c == VoltageBelow     ? *r.volt < g.x && r.setVolt > g.x
                  : c == VoltageAbove     ? *r.volt > g.x
                                          : *r.constantCurrent;
            break;
        case ChargeReaches:
            if (r.ah >= g.x)
                return verdict(c, r, 0);
            continue;
        case EnergyReaches:
            if (r.wh >= g.x)
                return verdict(c, r, 0);
            continue;
        case TimeReaches:
            if (r.atS - armedAtS_ >= g.holdS)
                return verdict(c, r, r.atS - armedAtS_);
            continue;
        case NoReading:
        case ConditionCount:
            continue; // Tick's
        }
        if (!met) {
            since_[size_t(k)].reset();
            continue;
        }
        if (!since_[size_t(k)])
            since_[size_t(k)] = r.atS;
        if (const double held = r.atS - *since_[size_t(k)]; held >= g.holdS)
            return verdict(c, r, held);
    }
    return std::nullopt;
}

std::optional<Verdict> Watch::Tick(double nowS) {
    const Setting &g = settings_[NoReading];
    if (!armed_ || !g.on || nowS - lastReadingS_ < g.holdS)
        return std::nullopt;
    return verdict(NoReading, Reading{nowS, {}, {}, {}, 0, 0, 0, 0}, nowS - lastReadingS_);
}

} // namespace Guards
