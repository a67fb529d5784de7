// What every real port keeps the same way: the port number, the line settings and the flow
// control, checked before they reach the device and pushed to it while it is open.
#pragma once

#include "Comm1.h"
#include "PortSettings.h"

class RealComm1 : public Comm1 {
public:
    int CommPort() const override { return port_; }
    void setCommPort(int port) override; // refused while open
    QString Settings() const override { return settings_.text(); }
    void setSettings(const QString &settings) override;
    int Handshaking() const override { return handshaking_; }
    void setHandshaking(int mode) override;

protected:
    virtual void apply() = 0; // pushes settings and flow control to the open port

    int port_ = 1;
    QString device_; // path of the open (or last tried) device
    PortSettings settings_;
    int handshaking_ = 0;
};
