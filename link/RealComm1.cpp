#include "RealComm1.h"

void RealComm1::setCommPort(int port) {
    if (PortOpen())
        throw CommError(QStringLiteral("Port already open"));
    if (port < 1 || port > 255)
        throw CommError(QStringLiteral("Invalid port number %1").arg(port));
    port_ = port;
}

void RealComm1::setSettings(const QString &settings) {
    auto parsed = PortSettings::parse(settings);
    if (!parsed)
        throw CommError(QStringLiteral("Invalid port settings \"%1\"").arg(settings));
    settings_ = *parsed;
    if (PortOpen())
        apply();
}

void RealComm1::setHandshaking(int mode) {
    if (mode < 0 || mode > 3)
        throw CommError(QStringLiteral("Invalid flow control mode %1").arg(mode));
    handshaking_ = mode;
    if (PortOpen())
        apply();
}
