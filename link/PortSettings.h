// The port settings text "9600,N,8,1" and how port numbers map to devices.
#pragma once

#include <QString>
#include <optional>

struct PortSettings {
    int baud = 9600;
    char parity = 'N'; // E, O, N, M, S
    int dataBits = 8;
    QString stopBits = QStringLiteral("1"); // "1", "1.5", "2"

    QString text() const;
    // Nothing when the text is not of the form speed,parity,data bits,stop bits.
    static std::optional<PortSettings> parse(const QString &text);
};

// Port n is the device named by the environment variable QVR_COM<n> when set, else the device
// assigned to it in Options, else /dev/ttyS<n-1> (COM<n> on Windows).
QString DevicePathFor(int port);
// The same with `assigned` in place of the assignment in force (one not yet confirmed).
QString DevicePathFor(int port, const std::optional<QString> &assigned);
