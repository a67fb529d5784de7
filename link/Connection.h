// Command sequences of the connection: probing for the supply, polling it, stopping a program
// that runs inside it and announcing the start and end of remote operation. They read and write
// the shared state of Module1; the window shows the result.
#pragma once

#include "Comm1.h"
#include "Protocol.h"

class Clock;

namespace Connection {

// Start-up probe: up to 4 GMAX exchanges (14 characters / 0.3 s), fields cut from whatever
// arrived. Sets MaxVolt and MaxCurr when a supply answered; Connected is the caller's.
bool ProbeAtStartup(Comm1 &port, Clock &clock);

// Reconnect and reset: up to 3 GMAX exchanges (11 characters / 0.3 s); a shorter reply is not
// parsed. Sets MaxVolt and MaxCurr when a supply answered, keeps them otherwise; Connected is
// the caller's. The automatic reconnect asks once a try, so that a silent device holds the
// window 0.3 s at most.
bool ProbeLimits(Comm1 &port, Clock &clock, int attempts = 3);

// One GETD poll: MeasVolt/MeasCurr (-1 for an empty reply), LastReply cut to the mode digit.
Protocol::Reading Poll(Comm1 &port, Clock &clock);

// STOP up to `attempts` times until one is acknowledged; returns whether one was.
bool StopProgram(Comm1 &port, Clock &clock, int attempts);

// SESS: only the receive buffer is cleared first.
void Announce(Comm1 &port);
// ENDS: sent as it is, no reply.
void Farewell(Comm1 &port);

} // namespace Connection
