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
    // A value that does not fit its field, or is over the limits, is refused: that is an answer.
    const auto refusable = [](const auto &build) {
        try {
            build();
        } catch (const Protocol::FieldError &) {
        }
    };
    refusable([&] { Protocol::VoltLine(float(value)); });
    refusable([&] { Protocol::CurrLine(float(value)); });
    refusable([&] { Protocol::CheckLimits(float(value), float(value)); });
    const int step = in.byte() % 10;
    refusable([&] { ProgramLink::PropLine(step, {typed, in.text(), in.text(), in.text()}); });
    refusable([&] { ProgramLink::RunpLine(in.text(4)); });
    Protocol::FitDigits(value, 1 + in.byte() % 4);
    return 0;
}
