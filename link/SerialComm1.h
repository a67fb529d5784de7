// Comm1 on a real serial port (or the pseudo-terminal of the simulated supply).
#pragma once

#include "Comm1.h"
#include "PortSettings.h"

#include <QSerialPort>

class SerialComm1 : public Comm1 {
public:
    SerialComm1();

    int CommPort() const override { return port_; }
    void setCommPort(int port) override;
    QString Settings() const override { return settings_.text(); }
    void setSettings(const QString &settings) override;
    int Handshaking() const override { return handshaking_; }
    void setHandshaking(int mode) override;
    bool PortOpen() const override { return serial_.isOpen(); }
    void setPortOpen(bool open) override;

    int InBufferCount() override;
    void ClearInBuffer() override;
    void ClearOutBuffer() override;
    void Output(const QByteArray &text) override;
    QByteArray Input() override;
    bool WaitForChars(int count, int timeoutMs) override;

private:
    void apply(); // pushes settings and flow control to the open port
    [[noreturn]] void fail(const QString &what);
    // The device went away under an operation: the port is closed, so that a later open of the
    // same port number finds the device again once it is back.
    [[noreturn]] void lost();

    QSerialPort serial_;
    int port_ = 1;
    QString device_; // path of the open (or last tried) device
    PortSettings settings_;
    int handshaking_ = 0;
};
