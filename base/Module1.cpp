#include "Module1.h"

#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

namespace Module1 {

float MeasVolt = -1;
float MeasCurr = -1;
qint64 MeasAtMs = 0;
float MaxVolt = 0;
float MaxCurr = 0;
bool Connected = false;
QString CurCmd;
QString LastReply;
double WaitStart = 0;
int PollInterval = 300;
qint64 SampleMs = 2000;
qint64 LogStartMs = 0;
qint64 LogCount = 0;
QString NotReadyMsg = BuildNotReadyMsg();

void ResetSharedState() {
    MeasVolt = MeasCurr = -1;
    MeasAtMs = 0;
    MaxVolt = MaxCurr = 0;
    Connected = false;
    CurCmd.clear();
    LastReply.clear();
    WaitStart = 0;
    PollInterval = 300;
    SampleMs = 2000;
    LogStartMs = 0;
    LogCount = 0;
    NotReadyMsg = BuildNotReadyMsg();
}

QString BuildNotReadyMsg() {
    return QStringLiteral("The Power Supply is not ready .\r\n"
                          "Make sure the Power Supply is\r\n"
                          "turned on and connected to the computer .");
}

QString NormDecimalStr(const QString &text) {
    QString out = text;
    for (QChar &c : out) {
        if (c == u'.' || c == u',') {
            c = u'.';
            break;
        }
    }
    return out;
}

namespace {

template <typename Chars> double parseLeading(const Chars &text, int size) {
    int i = 0;
    while (i < size && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string digits;
    if (i < size && (text[i] == '-' || text[i] == '+'))
        digits += char(text[i++]);
    bool point = false;
    bool any = false;
    for (; i < size; ++i) {
        const auto c = text[i];
        if (c >= '0' && c <= '9') {
            digits += char(c);
            any = true;
        } else if (c == '.' && !point) {
            digits += '.';
            point = true;
        } else {
            break;
        }
    }
    return any ? std::strtod(digits.c_str(), nullptr) : 0.0;
}

// Shortest round-trip text in plain positional form ("0.1", "123", "1e-05" never appears).
// The buffer holds any finite double written out in full: DBL_MAX has 309 digits, the smallest
// denormal 324 decimals.
template <typename T> std::string shortestFixed(T value) {
    std::array<char, 400> buf;
    const auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed);
    if (res.ec != std::errc())
        throw std::length_error("number text does not fit");
    return std::string(buf.data(), res.ptr);
}

// Rounds a non-negative positional decimal text to `decimals` places, halves away from zero.
std::string roundDecimal(const std::string &text, int decimals) {
    std::string intPart = text, frac;
    if (auto dot = text.find('.'); dot != std::string::npos) {
        intPart = text.substr(0, dot);
        frac = text.substr(dot + 1);
    }
    bool roundUp = int(frac.size()) > decimals && frac[decimals] >= '5';
    frac.resize(decimals, '0');
    std::string digits = intPart + frac;
    if (roundUp) {
        int k = int(digits.size()) - 1;
        while (k >= 0 && digits[k] == '9')
            digits[k--] = '0';
        if (k >= 0)
            ++digits[k];
        else
            digits.insert(digits.begin(), '1');
    }
    std::string out = digits.substr(0, digits.size() - decimals);
    if (decimals > 0)
        out += "." + digits.substr(digits.size() - decimals);
    return out;
}

QString formatText(const std::string &shortest, const QString &pattern) {
    bool negative = !shortest.empty() && shortest[0] == '-';
    std::string magnitude = negative ? shortest.substr(1) : shortest;
    const int dot = pattern.indexOf(u'.');
    const int intDigits = dot < 0 ? pattern.size() : dot;
    const int decimals = dot < 0 ? 0 : pattern.size() - dot - 1;
    std::string rounded = roundDecimal(magnitude, decimals);
    std::string intPart = rounded.substr(0, rounded.find('.'));
    if (int(intPart.size()) < intDigits)
        rounded.insert(0, intDigits - intPart.size(), '0');
    if (negative && rounded.find_first_not_of("0.") != std::string::npos)
        rounded.insert(0, "-");
    return QString::fromStdString(rounded);
}

template <typename T> QString shortestGeneral(T value) {
    std::array<char, 64> buf; // at most 24 characters for a double
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    if (res.ec != std::errc())
        throw std::length_error("number text does not fit");
    return QString::fromLatin1(buf.data(), int(res.ptr - buf.data()));
}

// Infinities and NaN have no digits to round: they keep their own short text.
template <typename T> QString formatValue(T value, const QString &pattern) {
    if (!std::isfinite(value))
        return shortestGeneral(value);
    return formatText(shortestFixed(value), pattern);
}

} // namespace

double LeadingNumber(const QString &text) {
    std::u16string s = text.toStdU16String();
    return parseLeading(s, int(s.size()));
}

double LeadingNumber(const QByteArray &text) {
    return parseLeading(text, int(text.size()));
}

QString Format(float value, const QString &pattern) {
    return formatValue(value, pattern);
}

QString Format(double value, const QString &pattern) {
    return formatValue(value, pattern);
}

QString NumStr(float value) {
    return shortestGeneral(value);
}
QString NumStr(double value) {
    return shortestGeneral(value);
}

QString StrSigned(double value) {
    QString text = NumStr(value);
    return text.startsWith(u'-') ? text : u' ' + text;
}

double nearest(double x) {
    double r = std::floor(x + 0.5);
    if (r - x == 0.5 && std::fmod(r, 2.0) != 0.0)
        r -= 1.0;
    return r;
}

} // namespace Module1
