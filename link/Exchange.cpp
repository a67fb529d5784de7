#include "Exchange.h"

#include "Clock.h"
#include "Module1.h"

#include <cmath>

void SendAndWait(Comm1 &port, Clock &clock, const QByteArray &line, Protocol::Wait wait) {
    port.ClearInBuffer();
    port.ClearOutBuffer();
    port.Output(line);
    Module1::WaitStart = clock.MonotonicMs() / 1000.0;
    port.WaitForChars(wait.minChars, int(std::lround(wait.timeoutS * 1000)));
}

QByteArray Exchange(Comm1 &port, Clock &clock, const QByteArray &line, Protocol::Wait wait) {
    SendAndWait(port, clock, line, wait);
    QByteArray reply = port.Input();
    Module1::LastReply = QString::fromLatin1(reply);
    return reply;
}

void SendOnly(Comm1 &port, const QByteArray &line, bool clearIn, bool clearOut) {
    if (clearIn)
        port.ClearInBuffer();
    if (clearOut)
        port.ClearOutBuffer();
    port.Output(line);
}
