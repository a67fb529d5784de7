// Program-wide state and the number texts that every part of QVR shares.
#pragma once

#include <QString>
#include <QtGlobal>

namespace Module1 {

// Shared state, held once for the whole program.
extern float MeasVolt;  // last measured output (V); -1 = no valid reading
extern float MeasCurr;  // last measured output (A); -1 = no valid reading
extern qint64 MeasAtMs; // monotonic clock (ms) of the poll that gave them
extern float MaxVolt;   // supply limit (V); 0 = not yet known
extern float MaxCurr;   // supply limit (A); 0 = not yet known
extern bool Connected;  // a supply answered GMAX
extern QString CurCmd;  // command word of the exchange in progress
extern QString LastReply;
extern double WaitStart;  // monotonic clock (s) when the current reply wait began
extern int PollInterval;  // Timer1 period while polling (ms)
extern qint64 SampleMs;   // live sampling interval (ms)
extern qint64 LogStartMs; // ms since midnight when the live timeline began
extern qint64 LogCount;   // samples taken since then
extern QString NotReadyMsg;

// Puts every shared variable back to its value at program start.
void ResetSharedState();

// The not-ready message, three lines joined by CR LF.
QString BuildNotReadyMsg();

// Replaces the first "." or "," by "."; later separators stay as they are.
QString NormDecimalStr(const QString &text);

// Leading-number parse: optional blanks and sign, digits with at most one point, up to the first
// other character. Empty or non-numeric text gives 0 ("12.3V" -> 12.3, " 1" -> 1).
double LeadingNumber(const QString &text);
double LeadingNumber(const QByteArray &text);

// Fixed patterns: "00.0", "0.00", "00", "000" and the like (zeros only, at most one point).
// Halves round away from zero, judged on the shortest decimal text of the value, so the number
// the operator typed decides (0.05 -> "0.1" in "0.0", 2.675f -> "2.68" in "0.00"). Every finite
// number is written out in full (1e300 has 301 digits); "inf", "-inf" and "nan" stay as they are.
QString Format(float value, const QString &pattern);
QString Format(double value, const QString &pattern);

// Shortest text that reads back as the same number: 30 -> "30", 2.5 -> "2.5", 0.1f -> "0.1".
QString NumStr(float value);
QString NumStr(double value);

// Number text with a blank in place of the sign for non-negative numbers: 1 -> " 1".
QString StrSigned(double value);

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double nearest(double x);

} // namespace Module1
