// The supply's command lines and reply layouts, as pure functions.
// Lines are the command word, its argument digits and one CR. Every reply starts with the echo of
// the whole line; field positions below are 1-based in the text read from the port.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <stdexcept>

namespace Protocol {

constexpr char CR = '\r';

// How long one exchange waits: at least `minChars` characters or `timeoutS` seconds.
struct Wait {
    int minChars;
    double timeoutS;
};
constexpr Wait GmaxStartupWait{14, 0.3};
constexpr Wait GmaxResetWait{11, 0.3};
constexpr Wait GetdWait{14, 0.2};
constexpr Wait SetpointWait{10, 0.2};
constexpr Wait SteppingWait{10, 0.3};
constexpr Wait StopWait{7, 0.3};

QByteArray Line(const QByteArray &word, const QByteArray &args = QByteArray());

// The largest limits GMAX's three-digit fields can report; a setpoint within them always travels
// as exactly three digits.
constexpr double MaxVoltField = 99.9;
constexpr double MaxCurrField = 9.99;

// A value that would not travel as exactly its field's digits (negative, too large, not a
// number): the line is never built, so the supply never reads a shifted field. what() is the
// clause for the operator, e.g. "the voltage 150 V is out of range".
class FieldError : public std::runtime_error {
public:
    explicit FieldError(const QString &clause) : std::runtime_error(clause.toStdString()) {}
    QString clause() const { return QString::fromUtf8(what()); }
};

// `value` to the nearest whole number as exactly `width` digits ("000"); nothing when it does
// not fit.
std::optional<QByteArray> FitDigits(double value, int width);
// Volts x 10 and amperes x 100 as three digits; throw FieldError when they do not fit.
QByteArray VoltDigits(float volts);
QByteArray CurrDigits(float amps);
// Throws FieldError when a setpoint is above the supply's limits (MaxVolt, MaxCurr), as "Set"
// refuses it: "the voltage 50 V is above the maximum of 30 V".
void CheckLimits(float volts, float amps);
QByteArray VoltLine(float volts); // "VOLT123\r" for 12.3 V
QByteArray CurrLine(float amps);  // "CURR125\r" for 1.25 A

// Characters first..last (1-based) of a reply; short or empty where the reply is short.
QByteArray Field(const QByteArray &reply, int first, int last);
// Field read with the leading-number parse (non-digits read as 0) and divided by `divisor`.
float FieldValue(const QByteArray &reply, int first, int last, float divisor);
// "OK" at positions pos, pos+1.
bool OkAt(const QByteArray &reply, int pos);

struct Limits {
    float volt = 0;
    float curr = 0;
    bool answered() const { return volt > 0 && curr > 0; }
};
// GMAX: 6-8 max voltage (0.1 V), 9-11 max current (0.01 A), cut from whatever arrived.
Limits ParseGmax(const QByteArray &reply);
// The reset form: a reply shorter than 11 characters is not parsed (both 0).
Limits ParseGmaxStrict(const QByteArray &reply);

struct Reading {
    float volt = -1; // -1 = no reading (empty reply)
    float curr = -1;
    std::optional<char> mode; // character 12 when the reply has at least 12 characters
};
Reading ParseGetd(const QByteArray &reply);

struct Mode {
    bool constantCurrent;
    bool programRunning;
};
// Mode digit "0"-"3"; nothing for any other character (indicators stay as they are).
std::optional<Mode> DecodeMode(char digit);

// STOP at shutdown: at least 7 characters and "OK" at 6-7.
bool StopAccepted(const QByteArray &reply);
// VOLT/CURR when stepping: "OK" at 9-10.
bool SetpointAccepted(const QByteArray &reply);

} // namespace Protocol
