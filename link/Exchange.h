// The one way the program talks to the supply: clear both buffers, send one line, wait for
// N characters or T seconds, read everything.
#pragma once

#include "Comm1.h"
#include "Protocol.h"

class Clock;

// Clears both buffers, sends the line and waits, leaving the reply unread.
void SendAndWait(Comm1 &port, Clock &clock, const QByteArray &line, Protocol::Wait wait);

// Makes one exchange and returns everything read (also kept in Module1::LastReply).
QByteArray Exchange(Comm1 &port, Clock &clock, const QByteArray &line, Protocol::Wait wait);

// Sends a line that has no reply (SESS, ENDS, SRST); clears the buffers named first.
void SendOnly(Comm1 &port, const QByteArray &line, bool clearIn, bool clearOut);
