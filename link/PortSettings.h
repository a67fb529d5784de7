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
    // Why the system's serial driver would refuse these settings, for the dialog to say before
    // the port does; empty when it takes them. Windows takes 1.5 stop bits with 5 data bits only
    // and 2 with 6 to 8 (its own refusal reads "The parameter is incorrect").
    QString refusal() const;
};

// Port n is the device named by the environment variable QVR_COM<n> when set, else the device
// assigned to it in Options, else /dev/ttyS<n-1> (COM<n> on Windows).
QString DevicePathFor(int port);
// The same with `assigned` in place of the assignment in force (one not yet confirmed).
QString DevicePathFor(int port, const std::optional<QString> &assigned);
