// SCPI program messages as scripts send them, apart from any socket or widget: a line split into
// its commands, headers matched against a command's pattern in long or short form, numbers read
// with their units, and each client's error queue.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

namespace Scpi {

constexpr int MaxLine = 4096;     // bytes a line may hold, its end excluded
constexpr int QueueSize = 10;     // errors a client's queue keeps
constexpr int MaxErrorText = 255; // characters of an error's description, as SCPI-99 bounds it

// The standard text of an error code: "Command error" for -100, "No error" for 0.
QString ErrorText(int code);

struct Command {
    QString header;     // upper case, without '?': "SOUR:CURR", "*IDN"
    QString fromRoot;   // the header as written, for a compound path that does not resolve
    bool query = false; // it ended in '?'
    QStringList params; // trimmed, a string without its quotes
    QList<bool> quoted; // which of them were strings
    // As the recording notes a script's command: "SOUR:VOLT 5", "PROG:INT:RUN ramp,3".
    QString Text() const;
};

// One line into its commands, split at ';' outside strings. After the first, a command without
// a leading ':' continues the previous one's path ("SOUR:VOLT 5;CURR 1" sets SOUR:CURR).
// `error` is a code when part of the line cannot be read (-223 too long, -102 an unfinished
// string or a header with characters no header has): `commands` are then those before it, which
// run, as an IEEE 488.2 parser carries out what it read before the fault and discards the rest.
struct Message {
    std::vector<Command> commands;
    int error = 0;
};
Message Split(const QByteArray &line);

// Where a line ends in `in`: the first CR or LF from `from`, or -1. Scripts end their lines with
// LF, CR LF or a lone CR (serial-minded tools); the LF after a CR ends an empty line, which does
// nothing.
qsizetype LineEnd(const QByteArray &in, qsizetype from = 0);

// Whether a line is a web browser's: an HTTP request line ("POST / HTTP/1.1") or a header
// ("Host: 127.0.0.1:5025"). Any web page can make a browser post a form here; such a client is
// sent away before anything it sent runs.
bool WebRequest(const QByteArray &line);

// MIN, MAX or DEF (or MINimum, MAXimum, DEFault) where a number may stand.
enum class Keyword { None, Min, Max, Def };
Keyword NumericKeyword(const QString &text);

// Whether `header` matches `pattern` written as SCPI-99 documents it: optional nodes in
// brackets, the short form in capitals ("[SOURce:]VOLTage[:LEVel][:IMMediate]" matches "VOLT",
// "SOURCE:VOLT:IMM" and "volt:lev"); a common command ("*IDN") matches only itself.
bool Matches(const QString &pattern, const QString &header);

// A number as a script writes it: "5", "5.0", "+.5", "5e-1", "5V", "500mV", "500 MV" with the
// parameter's `unit` ("V" or "A") and a multiplier (M milli, U micro, K kilo). Nothing for any
// other text, an infinity or not a number.
std::optional<double> Number(const QString &text, const QString &unit);

// A client's error queue, oldest first. When it is full the newest entry becomes -350. An entry's
// description is cut to MaxErrorText characters.
class ErrorQueue {
public:
    void Push(int code, const QString &info = QString());
    QString Next(); // -222,"Data out of range" or 0,"No error"; removes it
    int Count() const { return int(entries_.size()); }
    void Clear() { entries_.clear(); }

private:
    std::deque<QString> entries_;
};

} // namespace Scpi
