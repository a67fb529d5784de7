// The SCPI rules on arbitrary lines: split, every header against a pattern, every parameter as a
// number, the queue, and the whole command table on a supply whose handlers do nothing, with no
// crash, no hang (optional nodes are backtracked), every reply and queue entry one line.
#include "FuzzInput.h"
#include "Module1.h"
#include "Scpi.h"
#include "ScpiCommands.h"
#include "Supply.h"

namespace {
Supply &Stub() {
    static Supply supply;
    static const bool installed = [] {
        Supply::Handlers h;
        h.sendVolt = h.sendCurr = [](float) { return Supply::Result(); };
        h.poll = h.stop = [] { return Supply::Result(); };
        h.runTable = [](Supply::Where, const QString &, int) { return Supply::Result(); };
        h.recall = [](int) { return Supply::Result{Supply::Refusal::Failed, "a\r\nb"}; };
        h.zeroCounters = [] {};
        h.record = [](bool, const QString &f) {
            return Supply::Result{Supply::Refusal::Failed, f};
        };
        h.busy = [] { return QString(); };
        supply.SetHandlers(h);
        Module1::MaxVolt = 30;
        Module1::MaxCurr = 3;
        return true;
    }();
    (void)installed;
    return supply;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);
    const QString pattern = in.text(40);
    const bool connected = in.byte() % 2;
    const QByteArray line = in.chunk(255).replace('\n', ' ');
    const Scpi::Message m = Scpi::Split(line + QByteArray(in.byte() % 2 ? 4000 : 0, ';'));
    Scpi::ErrorQueue queue;
    for (const Scpi::Command &c : m.commands) {
        (void)Scpi::Matches(pattern, c.header);
        for (const QString &p : c.params)
            queue.Push(Scpi::Number(p, in.byte() % 2 ? "V" : "A") ? -221 : -222, p);
    }
    Supply &supply = Stub();
    supply.SetConnected(connected);
    supply.SetReading({connected ? 5.0f : -1.0f, connected ? 0.5f : -1.0f, "CV"});
    ScpiCommands::Client client;
    const auto reply = ScpiCommands::ExecuteLine(line, client, supply, "2.0");
    if (reply && (reply->contains('\n') || reply->contains('\r')))
        __builtin_trap();
    while (client.errors.Count())
        queue.Push(-100, client.errors.Next());
    while (queue.Count())
        if (const QString entry = queue.Next(); entry.contains(u'\n') || entry.contains(u'\r'))
            __builtin_trap();
    return 0;
}
