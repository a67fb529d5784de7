// The chart's scale fields: any text in any field with any key, then the labels read back as the
// drawing reads them, and a pick from the list.
#include "ChartScale.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);
    using namespace ChartScale;
    const float maxVolt = float(in.byte()) / 10, maxCurr = float(in.byte()) / 100;
    Scale s = StartScale(in.byte() & 1, maxVolt, maxCurr);
    for (int edits = in.byte() % 8; edits > 0; --edits) {
        const int field = 1 + in.byte() % 6;
        s.field[size_t(field)] = in.text(24);
        static const int keys[] = {KeyEnter, KeyLeft, KeyRight, 65};
        if (in.byte() & 1)
            KeyEdit(s, field, keys[in.byte() % 4], maxVolt, maxCurr);
        else
            Pick(s, field);
    }
    const Mapping m = ReadMapping(s, 1 + in.byte() * 4, 1 + in.byte() * 4, in.byte(), true);
    if (m.TimeOk())
        m.X(in.byte());
    if (m.VoltOk())
        m.YVolt(in.byte());
    if (m.CurrOk())
        m.YCurr(in.byte());
    List(1 + in.byte() % 6, maxVolt, maxCurr);
    return 0;
}
