#include "ProgramLink.h"

#include "Exchange.h"
#include "Module1.h"

using namespace Module1;
using Protocol::Field;
using Protocol::Line;
using Protocol::OkAt;

namespace ProgramLink {

namespace {
float typed(const QString &text) {
    return float(LeadingNumber(NormDecimalStr(text)));
}

// A reply field divided into its unit, in the grid's pattern.
QString fieldText(const QByteArray &data, int first, int count, float divisor,
                  const QString &pattern) {
    return Format(float(LeadingNumber(data.mid(first, count))) / divisor, pattern);
}
} // namespace

QByteArray PropLine(int index, const StepText &step) {
    return Line("PROP", QByteArray::number(index) + Protocol::Digits3(typed(step.volt), 10) +
                            Protocol::Digits3(typed(step.curr), 100) +
                            Format(float(LeadingNumber(step.minutes)), "00").toLatin1() +
                            Format(float(LeadingNumber(step.seconds)), "00").toLatin1());
}

QByteArray RunpLine(const QString &cycleText) {
    return Line("RUNP", cycleText.trimmed().toLatin1());
}

QByteArray PromLine(int memory, float volts, float amps) {
    return Line("PROM", QByteArray::number(memory) + Protocol::Digits3(volts, 10) +
                            Protocol::Digits3(amps, 100));
}

QByteArray RunmLine(int memory) {
    return Line("RUNM", QByteArray::number(memory));
}

std::array<StepText, 10> ParseGetp(const QByteArray &reply) {
    const QByteArray d = reply.mid(5);
    std::array<StepText, 10> steps;
    for (int r = 0; r < 10; ++r) {
        const int p = 12 * r; // the group's first character, which is not read
        steps[size_t(r)] = {fieldText(d, p + 1, 3, 10, "00.0"), fieldText(d, p + 4, 3, 100, "0.00"),
                            fieldText(d, p + 7, 2, 1, "00"), fieldText(d, p + 9, 2, 1, "00")};
    }
    return steps;
}

std::pair<QString, QString> ParseMemory(const QByteArray &reply, int memory) {
    const int at = 7 * memory - 1; // 1-based position 7k
    return {fieldText(reply, at, 3, 10, "00.0"), fieldText(reply, at + 3, 3, 100, "0.00")};
}

bool ReadProgram(Comm1 &port, Clock &clock, QByteArray &reply) {
    for (int i = 0; i < 6; ++i) {
        reply = Exchange(port, clock, Line("GETP"), GetpWait);
        if (OkAt(reply, 126))
            return true;
    }
    return false;
}

bool WriteStep(Comm1 &port, Clock &clock, int index, const StepText &step) {
    for (int i = 0; i < 4; ++i)
        if (OkAt(Exchange(port, clock, PropLine(index, step), PropWait), 17))
            return true;
    return false;
}

bool StartProgram(Comm1 &port, Clock &clock, const QString &cycleText) {
    for (int i = 0; i < 4; ++i)
        if (OkAt(Exchange(port, clock, RunpLine(cycleText), RunpWait), 7))
            return true;
    return false;
}

QByteArray ReadMemories(Comm1 &port, Clock &clock) {
    QByteArray reply;
    for (int i = 0; i < 4; ++i) {
        reply = Exchange(port, clock, Line("GETM0"), GetmWait);
        if (reply.size() >= GetmWait.minChars)
            break;
    }
    return reply;
}

void SendStep(Comm1 &port, Clock &clock, float volts, float amps) {
    for (int i = 0; i < 4; ++i)
        if (Protocol::SetpointAccepted(
                Exchange(port, clock, Protocol::VoltLine(volts), Protocol::SteppingWait)))
            break;
    for (int i = 0; i < 4; ++i)
        if (Protocol::SetpointAccepted(
                Exchange(port, clock, Protocol::CurrLine(amps), Protocol::SetpointWait)))
            break;
}

} // namespace ProgramLink
