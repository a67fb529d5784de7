#include "ProgramLink.h"

#include "Exchange.h"
#include "Module1.h"
#include "Setpoints.h"

#include <QStringList>

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

namespace {
QByteArray twoDigits(const QString &text, const char *what) {
    const double value = LeadingNumber(text);
    if (auto digits = Protocol::FitDigits(value, 2))
        return *digits;
    throw Protocol::FieldError(
        QStringLiteral("the %1 value %2 is out of range").arg(QLatin1String(what), NumStr(value)));
}
} // namespace

QByteArray PropLine(int index, const StepText &step) {
    return Line("PROP", QByteArray::number(index) + Protocol::VoltDigits(typed(step.volt)) +
                            Protocol::CurrDigits(typed(step.curr)) +
                            TimeDigits(step.minutes, step.seconds));
}

QByteArray TimeDigits(const QString &minutes, const QString &seconds) {
    return twoDigits(minutes, "minute") + twoDigits(seconds, "second");
}

bool RunCycleValid(const QString &cycleText) {
    const QString t = cycleText.trimmed();
    return t.size() == 1 && t[0] >= u'0' && t[0] <= u'9';
}

QByteArray RunpLine(const QString &cycleText) {
    if (!RunCycleValid(cycleText))
        throw Protocol::FieldError(QStringLiteral("the run cycle must be one digit from 0 to 9"));
    return Line("RUNP", cycleText.trimmed().toLatin1());
}

QByteArray PromLine(int memory, float volts, float amps) {
    return Line("PROM", QByteArray::number(memory) + Protocol::VoltDigits(volts) +
                            Protocol::CurrDigits(amps));
}

QString NotSentMessage(const QString &item, const Protocol::FieldError &e) {
    return item + QStringLiteral(" cannot be sent to the power supply: ") + e.clause() +
           QStringLiteral(" .");
}

QString NotAcceptedMessage(const QString &noun, const QList<int> &numbers) {
    QStringList list;
    for (int n : numbers)
        list << QString::number(n);
    const QString plural = noun == u"memory" ? QStringLiteral("memories") : noun + u's';
    return QStringLiteral("The power supply did not accept ") +
           (numbers.size() == 1 ? noun : plural) + u' ' + list.join(QStringLiteral(", ")) +
           QStringLiteral(" .");
}

QList<QByteArray> PropLines(const QList<StepText> &steps) {
    QList<QByteArray> lines;
    for (int i = 0; i < steps.size(); ++i) {
        try {
            lines << PropLine(i, steps[i]);
            Protocol::CheckLimits(typed(steps[i].volt), typed(steps[i].curr));
        } catch (const Protocol::FieldError &e) {
            throw std::runtime_error(
                NotSentMessage(QStringLiteral("Step %1").arg(i + 1), e).toStdString());
        }
    }
    return lines;
}

QByteArray CheckedPromLine(int memory, float volts, float amps) {
    try {
        const QByteArray line = PromLine(memory, volts, amps);
        Protocol::CheckLimits(volts, amps);
        return line;
    } catch (const Protocol::FieldError &e) {
        throw std::runtime_error(
            NotSentMessage(QStringLiteral("Memory %1").arg(memory), e).toStdString());
    }
}

QList<QByteArray> PromLines(const QList<std::pair<float, float>> &memories) {
    QList<QByteArray> lines;
    for (int k = 1; k <= memories.size(); ++k)
        lines << CheckedPromLine(k, memories[k - 1].first, memories[k - 1].second);
    return lines;
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

QList<int> WriteProgram(Comm1 &port, Clock &clock, const QList<QByteArray> &lines) {
    QList<int> refused;
    for (int s = 0; s < lines.size(); ++s) {
        bool accepted = false;
        for (int i = 0; i < 4 && !accepted; ++i)
            accepted = OkAt(Exchange(port, clock, lines[s], PropWait), 17);
        if (!accepted)
            refused << s + 1;
    }
    return refused;
}

bool WriteMemory(Comm1 &port, Clock &clock, const QByteArray &line) {
    return OkAt(Exchange(port, clock, line, PromWait), 13);
}

QList<int> WriteMemories(Comm1 &port, Clock &clock, const QList<QByteArray> &lines) {
    QList<int> refused;
    for (int k = 1; k <= lines.size(); ++k)
        if (!WriteMemory(port, clock, lines[k - 1]))
            refused << k;
    return refused;
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

void SendStepVolt(Comm1 &port, Clock &clock, float volts) {
    for (int i = 0; i < 4; ++i)
        if (Protocol::SetpointAccepted(
                Exchange(port, clock, Protocol::VoltLine(volts), Protocol::SteppingWait)))
            break;
    Setpoints::LastSent.volt = volts;
}

void SendStepCurr(Comm1 &port, Clock &clock, float amps) {
    for (int i = 0; i < 4; ++i)
        if (Protocol::SetpointAccepted(
                Exchange(port, clock, Protocol::CurrLine(amps), Protocol::SetpointWait)))
            break;
    Setpoints::LastSent.curr = amps;
}

} // namespace ProgramLink
