// The number texts: the comma rule, the leading-number parse, the fixed patterns and the
// command fields built from what an operator types or a table stores.
#include "FuzzInput.h"
#include "Module1.h"
#include "ProgramLink.h"
#include "Protocol.h"
#include "Setpoints.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);
    using namespace Module1;
    const QString typed = in.text();
    const double value = LeadingNumber(NormDecimalStr(typed));
    LeadingNumber(in.chunk());
    static const char *const patterns[] = {"00.0", "0.00", "00", "000", "0", "0.0", ""};
    const QString pattern = QString::fromLatin1(patterns[in.byte() % 7]);
    Format(value, pattern);
    Format(float(value), pattern);
    NumStr(value);
    StrSigned(value);
    nearest(value);
    Setpoints::BoxValue(typed);
    try {
        Protocol::VoltLine(float(value));
    } catch (const Protocol::FieldError &) {
    }
    try {
        Protocol::CurrLine(float(value));
    } catch (const Protocol::FieldError &) {
    }
    try {
        ProgramLink::PropLine(in.byte() % 10, {typed, in.text(), in.text(), in.text()});
    } catch (const Protocol::FieldError &) {
    }
    try {
        ProgramLink::RunpLine(in.text(4));
    } catch (const Protocol::FieldError &) {
    }
    Protocol::FitDigits(value, 1 + in.byte() % 4);
    return 0;
}
