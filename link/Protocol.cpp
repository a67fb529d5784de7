#include "Protocol.h"

#include "Module1.h"

namespace Protocol {

QByteArray Line(const QByteArray &word, const QByteArray &args) {
    return word + args + CR;
}

std::optional<QByteArray> FitDigits(double value, int width) {
    const QByteArray text = Module1::Format(value, QString(width, u'0')).toLatin1();
    if (text.size() != width)
        return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') // a sign, or "nan"
            return std::nullopt;
    return text;
}

namespace {
QByteArray digits3(float value, int scale, const char *quantity, const char *unit) {
    if (auto digits = FitDigits(double(value * float(scale)), 3))
        return *digits;
    throw FieldError(
        QStringLiteral("the %1 %2 %3 is out of range")
            .arg(QLatin1String(quantity), Module1::NumStr(value), QLatin1String(unit)));
}
} // namespace

QByteArray VoltDigits(float volts) {
    return digits3(volts, 10, "voltage", "V");
}
QByteArray CurrDigits(float amps) {
    return digits3(amps, 100, "current", "A");
}

void CheckLimits(float volts, float amps) {
    const auto above = [](const char *quantity, float value, float max, const char *unit) {
        return FieldError(QStringLiteral("the %1 %2 %4 is above the maximum of %3 %4")
                              .arg(QLatin1String(quantity), Module1::NumStr(value),
                                   Module1::NumStr(max), QLatin1String(unit)));
    };
    if (volts > Module1::MaxVolt)
        throw above("voltage", volts, Module1::MaxVolt, "V");
    if (amps > Module1::MaxCurr)
        throw above("current", amps, Module1::MaxCurr, "A");
}

QByteArray VoltLine(float volts) {
    return Line("VOLT", VoltDigits(volts));
}
QByteArray CurrLine(float amps) {
    return Line("CURR", CurrDigits(amps));
}

QByteArray Field(const QByteArray &reply, int first, int last) {
    return reply.mid(first - 1, last - first + 1);
}

float FieldValue(const QByteArray &reply, int first, int last, float divisor) {
    return float(Module1::LeadingNumber(Field(reply, first, last))) / divisor;
}

bool OkAt(const QByteArray &reply, int pos) {
    return Field(reply, pos, pos + 1) == "OK";
}

Limits ParseGmax(const QByteArray &reply) {
    return {FieldValue(reply, 6, 8, 10), FieldValue(reply, 9, 11, 100)};
}

Limits ParseGmaxStrict(const QByteArray &reply) {
    return reply.size() < 11 ? Limits{} : ParseGmax(reply);
}

Reading ParseGetd(const QByteArray &reply) {
    Reading r;
    if (reply.isEmpty())
        return r;
    r.volt = FieldValue(reply, 6, 8, 10);
    r.curr = FieldValue(reply, 9, 11, 100);
    if (reply.size() >= 12)
        r.mode = reply.at(11);
    return r;
}

std::optional<Mode> DecodeMode(char digit) {
    if (digit < '0' || digit > '3')
        return std::nullopt;
    const int d = digit - '0';
    return Mode{(d & 1) != 0, d >= 2};
}

bool StopAccepted(const QByteArray &reply) {
    return reply.size() >= 7 && OkAt(reply, 6);
}
bool SetpointAccepted(const QByteArray &reply) {
    return OkAt(reply, 9);
}

} // namespace Protocol
