// The serial devices present, as Qt SerialPort lists them (Linux).
#include "PortDevices.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace PortDevices {

QList<Device> Present() {
    QList<Device> devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString description =
            info.description().isEmpty() ? info.manufacturer() : info.description();
        devices.append({StablePath(info.systemLocation()),
                        description.isEmpty()
                            ? info.portName()
                            : info.portName() + QStringLiteral(" - ") + description});
    }
    // Adapters first: they are what an operator plugs in today.
    std::stable_sort(devices.begin(), devices.end(), [](const Device &a, const Device &b) {
        const auto usb = [](const Device &d) {
            return d.label.startsWith(u"ttyUSB") || d.label.startsWith(u"ttyACM");
        };
        return usb(a) && !usb(b);
    });
    return devices;
}

} // namespace PortDevices
