// Which device a port number reaches, and the serial devices present to choose from. Most lines
// today are USB adapters that port numbers 1-16 do not reach by themselves: the operator assigns
// one in Options, by its stable /dev/serial/by-id name where there is one, so that the assignment
// survives plugging it into another socket.
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

namespace PortDevices {

// The assignments in force (port number -> device path); QVR_COM<n> still wins over them.
void Assign(int port, const QString &device); // an empty device removes the assignment
std::optional<QString> Assigned(int port);
void ClearAll();
// Where port n goes, and why: "the variable QVR_COM1", "assigned in Options", "the default".
QString Origin(int port);

struct Device {
    QString path;  // the stable name where one exists, else /dev/ttyUSB0 and the like
    QString label; // "ttyUSB0 - FT232R USB UART"
};
// The serial devices the system lists: on Linux USB adapters first, on Windows by COM number.
QList<Device> Present();
// The stable name in `byIdDir` that leads to `device`, else the device itself.
QString StablePath(const QString &device,
                   const QString &byIdDir = QStringLiteral("/dev/serial/by-id"));

// Who holds `device` open, from the lock file Qt's serial port leaves beside it (UUCP style,
// in /run/lock and the like): "another QVR (process 812 on lab3)", "another program, minicom
// (process 812 on lab3)"; "" when nobody does or the system keeps no such files.
QString Holder(const QString &device);

// Settings records: "ComDevice<n>" holds port n's device.
QString RecordName(int port);
std::optional<int> PortOfRecord(const QString &name);

} // namespace PortDevices
