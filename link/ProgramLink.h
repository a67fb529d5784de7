// The command lines and sequences of the program pages: the internal program (GETP, PROP,
// RUNP), the computer-stepped program (VOLT, CURR) and the preset memories (GETM0, PROM, RUNM).
#pragma once

#include "Comm1.h"
#include "Protocol.h"

#include <QList>
#include <QString>
#include <array>
#include <utility>

class Clock;

namespace ProgramLink {

using Protocol::Wait;
constexpr Wait GetpWait{127, 0.3};
constexpr Wait PropWait{18, 0.3};
constexpr Wait RunpWait{8, 0.3};
constexpr Wait GetmWait{71, 0.4};
constexpr Wait PromWait{14, 0.3};
// The memory recall has no time-out of its own in the supply's design; a silent supply must not
// hold the program, so it is bounded like the others.
constexpr Wait RunmWait{8, 0.3};

// One step of the internal program as cell texts: voltage, current, minutes, seconds.
struct StepText {
    QString volt, curr, minutes, seconds;
};

// Every builder throws Protocol::FieldError when a value does not fit its field exactly.
// "PROP" + index + voltage ×10 "000" + current ×100 "000" + minutes "00" + seconds "00" + CR.
// The voltage and current are read with the comma conversion, minutes and seconds as they stand.
QByteArray PropLine(int index, const StepText &step);
// A step's duration as PROP carries it: minutes "00" and seconds "00".
QByteArray TimeDigits(const QString &minutes, const QString &seconds);
// The run cycle travels as one digit 0-9, the text without blanks.
bool RunCycleValid(const QString &cycleText);
QByteArray RunpLine(const QString &cycleText); // "RUNP" + cycle digit + CR
// "PROM" + k + voltage ×10 "000" + current ×100 "000" + CR.
QByteArray PromLine(int memory, float volts, float amps);
QByteArray RunmLine(int memory);

// A sequence's lines are all built before the first is sent, so a value that does not fit, or is
// above the supply's limits, stops the whole sequence rather than half of it. These throw
// std::runtime_error with the operator's message naming the step (1-based) or the memory.
QList<QByteArray> PropLines(const QList<StepText> &steps);
QList<QByteArray> PromLines(const QList<std::pair<float, float>> &memories); // memories 1, 2, ...
QByteArray CheckedPromLine(int memory, float volts, float amps);
// The message for a value that stopped a sequence: "Step 3 cannot be sent to the power
// supply: the voltage 150 V is out of range ."
QString NotSentMessage(const QString &item, const Protocol::FieldError &e);
// The one message after a sequence naming what the supply did not acknowledge:
// "The power supply did not accept steps 2, 5 ." (`noun` "step" or "memory").
QString NotAcceptedMessage(const QString &noun, const QList<int> &numbers);

// The ten steps of a GETP reply as grid texts ("00.0", "0.00", "00", "00"); missing or
// non-numeric fields read as 0.
std::array<StepText, 10> ParseGetp(const QByteArray &reply);
// Memory k (1-9) of a GETM0 reply: voltage and current texts ("00.0", "0.00").
std::pair<QString, QString> ParseMemory(const QByteArray &reply, int memory);

// Sequences; each returns whether the supply acknowledged.
// GETP up to 6 times until "OK" at 126-127; the last reply read comes back in `reply`.
bool ReadProgram(Comm1 &port, Clock &clock, QByteArray &reply);
// The PROP lines, each up to 4 times until "OK" at 17-18; a step never acknowledged is passed
// over. Returns the step numbers (1-based) that were not acknowledged.
QList<int> WriteProgram(Comm1 &port, Clock &clock, const QList<QByteArray> &lines);
bool StartProgram(Comm1 &port, Clock &clock, const QString &cycleText); // up to 4 RUNP
// One PROM exchange; acknowledged with "OK" at 13-14.
bool WriteMemory(Comm1 &port, Clock &clock, const QByteArray &line);
// The PROM lines of memories 1, 2, ..., once each; returns the memories not acknowledged.
QList<int> WriteMemories(Comm1 &port, Clock &clock, const QList<QByteArray> &lines);
// GETM0 up to 4 times until at least 71 characters came; the last reply read.
QByteArray ReadMemories(Comm1 &port, Clock &clock);
// One step of the computer-stepped program, in two halves so that the window may breathe
// between them: VOLT (10 / 0.3 s), then CURR (10 / 0.2 s), up to 4 attempts each until "OK" at
// 9-10.
void SendStepVolt(Comm1 &port, Clock &clock, float volts);
void SendStepCurr(Comm1 &port, Clock &clock, float amps);

} // namespace ProgramLink
