// Comm1 on a real serial port (or the pseudo-terminal of the simulated supply).
#pragma once

#include "RealComm1.h"

#include <QSerialPort>

class SerialComm1 : public RealComm1 {
public:
    SerialComm1();

    bool PortOpen() const override { return serial_.isOpen(); }
    void setPortOpen(bool open) override;

    int InBufferCount() override;
    void ClearInBuffer() override;
    void ClearOutBuffer() override;
    void Output(const QByteArray &text) override;
    QByteArray Input() override;
    bool WaitForChars(int count, int timeoutMs) override;

private:
    void apply() override;
    [[noreturn]] void fail(const QString &what);
    // The device went away under an operation: the port is closed, so that a later open of the
    // same port number finds the device again once it is back.
    [[noreturn]] void lost();

    QSerialPort serial_;
};
