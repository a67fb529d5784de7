#include "Setpoints.h"

#include "Exchange.h"
#include "Module1.h"

using namespace Module1;

namespace Setpoints {

Sent LastSent;

float BoxValue(const QString &text) {
    return float(LeadingNumber(NormDecimalStr(text)));
}

bool VoltValid(float volts) {
    return volts >= 0 && volts <= MaxVolt;
}
bool CurrValid(float amps) {
    return amps > 0 && amps <= MaxCurr && SentAmps(amps).value_or(0) > 0;
}

namespace {
// The three digits the line carries for `value` in steps of 1/`scale`, as the line's own rule
// makes them.
std::optional<float> Carried(float value, int scale) {
    if (const auto digits = Protocol::FitDigits(double(value * float(scale)), 3))
        return float(digits->toInt()) / float(scale);
    return std::nullopt;
}
} // namespace

std::optional<float> SentVolts(float volts) {
    return Carried(volts, 10);
}

std::optional<float> SentAmps(float amps) {
    return Carried(amps, 100);
}

QString VoltMessage(bool onEnter) {
    return QStringLiteral("Voltage must be 0 or ") + NumStr(0.1f) + QStringLiteral(" - ") +
           NumStr(MaxVolt) +
           (onEnter ? QStringLiteral(" and 1 digit o precision .")
                    : QStringLiteral(" and 1 digit of precision ."));
}

QString CurrMessage(bool onEnter) {
    return QStringLiteral("Current must be ") + NumStr(0.01f) + QStringLiteral(" - ") +
           NumStr(MaxCurr) +
           (onEnter ? QStringLiteral(" and 2 digit of precision .")
                    : QStringLiteral(" and 2 digit o precision ."));
}

void Send(Comm1 &port, Clock &clock, float volts, float amps) {
    // The boxes refuse these first, with their own messages; nothing gets past them here either.
    if (!VoltValid(volts) || !CurrValid(amps))
        throw Protocol::FieldError(QStringLiteral("the setpoints %1 V %2 A are out of range")
                                       .arg(NumStr(volts), NumStr(amps)));
    SendVolt(port, clock, volts);
    SendCurr(port, clock, amps);
}

void SendVolt(Comm1 &port, Clock &clock, float volts) {
    SendAndWait(port, clock, Protocol::VoltLine(volts), Protocol::SetpointWait);
    LastSent.volt = volts;
}

void SendCurr(Comm1 &port, Clock &clock, float amps) {
    SendAndWait(port, clock, Protocol::CurrLine(amps), Protocol::SetpointWait);
    LastSent.curr = amps;
}

} // namespace Setpoints
