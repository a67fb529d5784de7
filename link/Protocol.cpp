#include "Protocol.h"

#include "Module1.h"

namespace Protocol {

QByteArray Line(const QByteArray &word, const QByteArray &args) {
    return word + args + CR;
}

QByteArray Digits3(float value, int scale) {
    return Module1::Format(value * float(scale), QStringLiteral("000")).toLatin1();
}

QByteArray VoltLine(float volts) {
    return Line("VOLT", Digits3(volts, 10));
}
QByteArray CurrLine(float amps) {
    return Line("CURR", Digits3(amps, 100));
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
