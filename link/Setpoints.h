// The output setpoints: how a box's text is read, what is valid, the operator's messages and
// the "Set" sequence.
#pragma once

#include "Comm1.h"

#include <QString>
#include <optional>

class Clock;

namespace Setpoints {

// A box's number, as every check and "Set" read it: the comma conversion, then the
// leading-number parse. Unit letters are ignored.
float BoxValue(const QString &text);

bool VoltValid(float volts); // 0 <= V <= MaxVolt (0 V allowed)
// 0 < A <= MaxCurr (0 A not), and not so small that the line would carry 0 A (0.004 A).
bool CurrValid(float amps);

// What the supply is told for a value: the line's 0.1 V and 0.01 A steps (5.05 V -> 5.1 V).
// Nothing for a value the line cannot carry.
std::optional<float> SentVolts(float volts);
std::optional<float> SentAmps(float amps);

// The two handlers word the precision clause differently; the operator has always seen these.
QString VoltMessage(bool onEnter);
QString CurrMessage(bool onEnter);

// VOLT then CURR, each waiting for 10 characters or 0.2 s; the replies are not read. Entries
// that are not valid throw Protocol::FieldError and nothing is sent.
void Send(Comm1 &port, Clock &clock, float volts, float amps);
// One of the two lines, for a script that sets one setpoint; the caller checks the value.
void SendVolt(Comm1 &port, Clock &clock, float volts);
void SendCurr(Comm1 &port, Clock &clock, float amps);

// The setpoints last sent to the supply by "Set", an external step or a preset recall, for the
// recording; none before the first.
struct Sent {
    std::optional<float> volt, curr;
};
extern Sent LastSent;

} // namespace Setpoints
