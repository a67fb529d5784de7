#include "Connection.h"

#include "Clock.h"
#include "Exchange.h"
#include "Module1.h"

using namespace Protocol;

namespace Connection {

namespace {
bool probe(Comm1 &port, Clock &clock, int attempts, Wait wait,
           Limits (*parse)(const QByteArray &)) {
    // The limits known so far hold until a supply reports its own: every check of a setpoint or
    // a grid value reads them, and a silent line says nothing about the supply.
    for (int i = 0; i < attempts; ++i) {
        Module1::CurCmd = QStringLiteral("GMAX");
        const Limits l = parse(Exchange(port, clock, Line("GMAX"), wait));
        if (l.answered()) {
            Module1::MaxVolt = l.volt;
            Module1::MaxCurr = l.curr;
            return true;
        }
    }
    return false;
}
} // namespace

bool ProbeAtStartup(Comm1 &port, Clock &clock) {
    return probe(port, clock, 4, GmaxStartupWait, ParseGmax);
}

bool ProbeLimits(Comm1 &port, Clock &clock, int attempts) {
    return probe(port, clock, attempts, GmaxResetWait, ParseGmaxStrict);
}

Reading Poll(Comm1 &port, Clock &clock) {
    Module1::CurCmd = QStringLiteral("GETD");
    const Reading r = ParseGetd(Exchange(port, clock, Line("GETD"), GetdWait));
    Module1::MeasVolt = r.volt;
    Module1::MeasCurr = r.curr;
    Module1::MeasAtMs = clock.MonotonicMs();
    if (r.mode)
        Module1::LastReply = QString(QChar::fromLatin1(*r.mode));
    return r;
}

bool StopProgram(Comm1 &port, Clock &clock, int attempts) {
    for (int i = 0; i < attempts; ++i)
        if (StopAccepted(Exchange(port, clock, Line("STOP"), StopWait)))
            return true;
    return false;
}

void Announce(Comm1 &port) {
    SendOnly(port, Line("SESS"), true, false);
}

void Farewell(Comm1 &port) {
    SendOnly(port, Line("ENDS"), false, false);
}

} // namespace Connection
