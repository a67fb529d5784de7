// GUARd:...: a script sets the guards, arms and disarms them, and reads what they did. Setting
// one holds only while they do not watch, as in the dialog.
#include "ScpiEntry.h"

#include "Module1.h"

namespace ScpiCommands {

namespace {

using namespace Guards;

// What a condition's parameters are: a value with its unit, a hold time, or both.
struct GuardShape {
    const char *unit; // nullptr: no value
    bool hold;
};
GuardShape ShapeOf(Condition c) {
    switch (c) {
    case CurrentAbove:
    case CurrentBelowInCv:
        return {"A", true};
    case VoltageBelow:
    case VoltageAbove:
        return {"V", true};
    case ChargeReaches:
        return {"AH", false};
    case EnergyReaches:
        return {"WH", false};
    case ConstantCurrent:
    case TimeReaches:
    case NoReading:
    default:
        return {nullptr, true};
    }
}

// A change to the plan, refused while it watches.
bool Changeable(Context &c) {
    if (c.supply.Guard().Current().armed) {
        c.client.Fail(-221, QStringLiteral("the guards are armed: disarm them first"));
        return false;
    }
    return true;
}

// GUARd:<condition> <value>[,<hold s>] or OFF: ticked with its values, or not ticked.
template <Condition C> Reply SetCondition(Context &c) {
    const QStringList &p = c.cmd.params;
    const GuardShape shape = ShapeOf(C);
    const int want = (shape.unit ? 1 : 0) + (shape.hold ? 1 : 0);
    Plan plan = c.supply.Guard().Current();
    Setting &g = plan.conditions[C];
    if (p.size() == 1 && p[0].compare(QLatin1String("OFF"), Qt::CaseInsensitive) == 0) {
        g.on = false;
    } else if (p.size() != want) {
        c.client.Fail(p.size() < want ? -109 : -108);
        return std::nullopt;
    } else {
        std::optional<double> x, hold;
        if (shape.unit && !(x = Scpi::Number(p[0], QLatin1String(shape.unit)))) {
            c.client.Fail(-104);
            return std::nullopt;
        }
        if (shape.hold && !(hold = Scpi::Number(p[want - 1], QStringLiteral("S")))) {
            c.client.Fail(-104);
            return std::nullopt;
        }
        if ((x && *x < 0) || (hold && *hold < 0)) {
            c.client.Fail(-222, QStringLiteral("not below 0"));
            return std::nullopt;
        }
        g = {true, x.value_or(0), hold.value_or(0)};
    }
    if (Changeable(c))
        c.supply.Guard().Keep(plan);
    return std::nullopt;
}

template <Condition C> Reply ConditionQuery(Context &c) {
    const Setting &g = c.supply.Guard().Current().conditions[C];
    if (!g.on)
        return QByteArray("OFF");
    const GuardShape shape = ShapeOf(C);
    QStringList parts;
    if (shape.unit)
        parts << QString::number(g.x, 'g', 10);
    if (shape.hold)
        parts << QString::number(g.holdS, 'g', 10);
    return parts.join(u',').toUtf8();
}

Reply SetSafe(Context &c) {
    const QStringList &p = c.cmd.params;
    if (p.size() != 2) {
        c.client.Fail(p.size() < 2 ? -109 : -108);
        return std::nullopt;
    }
    const auto v = Scpi::Number(p[0], QStringLiteral("V"));
    const auto a = Scpi::Number(p[1], QStringLiteral("A"));
    if (!v || !a) {
        c.client.Fail(-104);
        return std::nullopt;
    }
    if (*v < 0 || *v > Module1::MaxVolt || *a < Supply::LeastAmps || *a > Module1::MaxCurr) {
        c.client.Fail(-222, QStringLiteral("the safe output must be a setpoint the supply takes"));
        return std::nullopt;
    }
    Plan plan = c.supply.Guard().Current();
    plan.safeVolt = *v, plan.safeCurr = *a;
    if (Changeable(c))
        c.supply.Guard().Keep(plan);
    return std::nullopt;
}

Reply SetStopRecording(Context &c) {
    const QString p = c.cmd.params.value(0).toUpper();
    const bool on = p == u"ON" || p == u"1";
    if (c.cmd.params.size() != 1 || (!on && p != u"OFF" && p != u"0")) {
        c.client.Fail(c.cmd.params.isEmpty() ? -109 : -104);
        return std::nullopt;
    }
    Plan plan = c.supply.Guard().Current();
    plan.stopRecording = on;
    if (Changeable(c))
        c.supply.Guard().Keep(plan);
    return std::nullopt;
}

#define GUARD_CONDITION(pattern, c)                                                               \
    {pattern, false, SetCondition<c>}, { pattern, true, ConditionQuery<c> }

const Entry GuardEntries[] = {
    {"GUARd:STATe", true,
     [](Context &c) -> Reply { return c.supply.Guard().StateWord().toUtf8(); }},
    // What acted, in the words the panel shows.
    {"GUARd:MESSage", true,
     [](Context &c) -> Reply {
         const auto &v = c.supply.Guard().Acted();
         return '"' + QString(v ? v->words : QString()).replace(u'"', QStringLiteral("\"\"")).toUtf8() +
                '"';
     }},
    {"GUARd:ARM", false,
     [](Context &c) -> Reply {
         return Done(c, c.supply.ArmGuards(c.supply.Guard().Current())), std::nullopt;
     }},
    {"GUARd:DISarm", false,
     [](Context &c) -> Reply { return Done(c, c.supply.DisarmGuards()), std::nullopt; }},
    GUARD_CONDITION("GUARd:CURRent:HIGH", CurrentAbove),
    GUARD_CONDITION("GUARd:VOLTage:LOW", VoltageBelow),
    GUARD_CONDITION("GUARd:VOLTage:HIGH", VoltageAbove),
    GUARD_CONDITION("GUARd:CC", ConstantCurrent),
    GUARD_CONDITION("GUARd:CURRent:LOW", CurrentBelowInCv),
    GUARD_CONDITION("GUARd:CHARge", ChargeReaches),
    GUARD_CONDITION("GUARd:ENERgy", EnergyReaches),
    GUARD_CONDITION("GUARd:TIME", TimeReaches),
    GUARD_CONDITION("GUARd:NREAD", NoReading),
    {"GUARd:SAFE", false, SetSafe},
    {"GUARd:SAFE", true,
     [](Context &c) -> Reply {
         const Plan &p = c.supply.Guard().Current();
         return QStringLiteral("%1,%2").arg(p.safeVolt, 0, 'f', 1).arg(p.safeCurr, 0, 'f', 2).toUtf8();
     }},
    {"GUARd:RECord:STOP", false, SetStopRecording},
    {"GUARd:RECord:STOP", true,
     [](Context &c) -> Reply {
         return QByteArray(c.supply.Guard().Current().stopRecording ? "1" : "0");
     }},
};

#undef GUARD_CONDITION

} // namespace

Entries GuardTable() {
    return {GuardEntries, std::size(GuardEntries)};
}

} // namespace ScpiCommands
