// The SCPI rules on arbitrary lines: split, every header against a pattern, every parameter as a
// number, and the queue, with no crash, no hang (optional nodes are backtracked) and every queue
// entry one line.
#include "FuzzInput.h"
#include "Scpi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);
    const QString pattern = in.text(40);
    const Scpi::Message m =
        Scpi::Split(in.chunk(255).replace('\n', ' ') + QByteArray(in.byte() % 2 ? 4000 : 0, ';'));
    Scpi::ErrorQueue queue;
    for (const Scpi::Command &c : m.commands) {
        (void)Scpi::Matches(pattern, c.header);
        for (const QString &p : c.params)
            queue.Push(Scpi::Number(p, in.byte() % 2 ? "V" : "A") ? -221 : -222, p);
    }
    while (queue.Count())
        if (queue.Next().contains(u'\n'))
            __builtin_trap();
    return 0;
}
