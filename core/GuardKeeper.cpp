#include "GuardKeeper.h"

#include <QStringList>

namespace Guards {

QString Keeper::Arm(const Plan &plan, double nowS, double maxVolt, double maxCurr,
                    double setCurr) {
    if (QString why = ArmRefusal(plan.conditions, maxVolt, maxCurr, setCurr); !why.isEmpty())
        return why;
    plan_ = plan;
    plan_.armed = true;
    state_ = State::Armed;
    acted_.reset();
    pending_.reset();
    watch_.Arm(plan_.conditions, nowS);
    lastReadingS_ = nowS;
    ah_.Restart();
    wh_.Restart();
    emit changed();
    return {};
}

void Keeper::Disarm() {
    const bool was = plan_.armed || state_ != State::Off;
    watch_.Disarm();
    plan_.armed = false;
    state_ = State::Off;
    acted_.reset();
    pending_.reset();
    if (was)
        emit changed();
}

void Keeper::Keep(const Plan &plan) {
    if (plan_.armed)
        return; // a watch keeps the plan it was armed with
    plan_ = plan;
    plan_.armed = false;
    emit changed();
}

std::optional<Verdict> Keeper::acts(const Verdict &v) {
    plan_.armed = false; // a restart after this finds nothing to watch
    state_ = v.kind == Kind::Done ? State::Done : State::Tripped;
    acted_ = v;
    pending_.reset();
    emit changed();
    return v;
}

std::optional<Verdict> Keeper::Feed(Reading r) {
    if (state_ != State::Armed)
        return std::nullopt;
    // Counters since arming, the first reading their start.
    ah_.Take(r.ah);
    wh_.Take(r.wh);
    r.ah = ah_.total, r.wh = wh_.total;
    const bool reading = r.volt && r.curr;
    if (reading)
        lastReadingS_ = r.atS;
    if (pending_)
        return reading ? acts(*pending_) : std::nullopt;
    if (const auto v = watch_.Feed(r))
        return acts(*v);
    return std::nullopt;
}

void Keeper::Tick(double nowS) {
    if (state_ != State::Armed || pending_)
        return;
    if (const auto v = watch_.Tick(nowS)) {
        pending_ = v;
        emit changed();
    }
}

std::optional<double> Keeper::NextTickS() const {
    const Setting &g = plan_.conditions[NoReading];
    if (state_ != State::Armed || pending_ || !g.on)
        return std::nullopt;
    return lastReadingS_ + g.holdS;
}

QString Keeper::StateWord() const {
    switch (state_) {
    case State::Off:
        return QStringLiteral("OFF");
    case State::Armed:
        return QStringLiteral("ARMED");
    case State::Done:
        return QStringLiteral("DONE ") + Keyword(acted_->condition);
    case State::Tripped:
        return QStringLiteral("TRIPPED ") + Keyword(acted_->condition);
    }
    return {};
}

QString Keeper::Summary(const Settings &s) {
    QStringList parts;
    for (int k = 0; k < ConditionCount; ++k) {
        const Setting &g = s[size_t(k)];
        if (!g.on)
            continue;
        const QString hold = QStringLiteral(" for %1 s").arg(g.holdS, 0, 'g', 6);
        switch (Condition(k)) {
        case CurrentAbove:
            parts << QStringLiteral("I > ") + Amps(g.x) + hold;
            break;
        case VoltageBelow:
            parts << QStringLiteral("V < ") + Volts(g.x) + hold;
            break;
        case VoltageAbove:
            parts << QStringLiteral("V > ") + Volts(g.x) + hold;
            break;
        case ConstantCurrent:
            parts << QStringLiteral("C.C.") + hold;
            break;
        case CurrentBelowInCv:
            parts << QStringLiteral("done when I < ") + Amps(g.x) + QStringLiteral(" in C.V.") +
                         hold;
            break;
        case ChargeReaches:
            parts << QStringLiteral("done at %1 Ah").arg(g.x, 0, 'f', 3);
            break;
        case EnergyReaches:
            parts << QStringLiteral("done at %1 Wh").arg(g.x, 0, 'f', 2);
            break;
        case TimeReaches:
            parts << QStringLiteral("done after ") + HoursMinutes(g.holdS);
            break;
        case NoReading:
            parts << QStringLiteral("no reading") + hold;
            break;
        case ConditionCount:
            break;
        }
    }
    return parts.join(QStringLiteral(", "));
}

QString Keeper::Line() const {
    if (state_ == State::Armed)
        return pending_ ? pending_->words + QStringLiteral(": acts when the supply answers")
                        : QStringLiteral("Guards armed: ") + Summary(plan_.conditions);
    return acted_ ? acted_->words : QString();
}

} // namespace Guards
