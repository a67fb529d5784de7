// The serial-port seam. Everything the program says to the supply goes through these operations;
// the real port and the simulated supply both implement them.
#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

// A port operation that failed; what() is the description the operator sees.
class CommError : public std::runtime_error {
public:
    explicit CommError(const QString &description)
        : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromStdString(what()); }
};

class Comm1 {
public:
    virtual ~Comm1() = default;

    virtual int CommPort() const = 0;
    virtual void setCommPort(int port) = 0; // refused while the port is open
    // "speed,parity letter,data bits,stop bits", e.g. "9600,N,8,1" or "9600,N,8,1.5".
    virtual QString Settings() const = 0;
    virtual void setSettings(const QString &settings) = 0;
    // 0 none, 1 Xon/Xoff, 2 RTS/CTS, 3 Xon/Xoff with RTS/CTS.
    virtual int Handshaking() const = 0;
    virtual void setHandshaking(int mode) = 0;
    virtual bool PortOpen() const = 0;
    virtual void setPortOpen(bool open) = 0; // throws CommError naming the device

    virtual int InBufferCount() = 0;
    virtual void ClearInBuffer() = 0;  // InBufferCount = 0
    virtual void ClearOutBuffer() = 0; // OutBufferCount = 0
    virtual void Output(const QByteArray &text) = 0;
    virtual QByteArray Input() = 0; // everything received, removed from the buffer

    // Blocks until at least `count` characters wait or `timeoutMs` has passed on the monotonic
    // clock, sleeping in the kernel meanwhile. Returns whether the count was reached.
    virtual bool WaitForChars(int count, int timeoutMs) = 0;
};
