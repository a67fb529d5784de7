// The serial ports present on Windows: the system's list of serial devices in the registry
// (HARDWARE\DEVICEMAP\SERIALCOMM), which every driver, USB adapters' included, writes to.
#include "PortDevices.h"
#include "Win32Comm1.h"

#include <algorithm>
#include <windows.h>

namespace Win32Port {

QList<PortDevices::Device> Listed(const QList<QPair<QString, QString>> &entries) {
    QList<PortDevices::Device> devices;
    for (const auto &[driver, name] : entries) {
        const QString kind = driver.section(u'\\', -1); // "\Device\VCP0" -> "VCP0"
        devices.append({name, kind.isEmpty() ? name : name + QStringLiteral(" - ") + kind});
    }
    // By number, as an operator counts them: COM2 before COM10.
    const auto number = [](const PortDevices::Device &d) { return d.path.mid(3).toInt(); };
    std::stable_sort(devices.begin(), devices.end(),
                     [&](const auto &a, const auto &b) { return number(a) < number(b); });
    return devices;
}

} // namespace Win32Port

namespace PortDevices {

QList<Device> Present() {
    QList<QPair<QString, QString>> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return {};
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameLength = 256, dataBytes = sizeof data, type = 0;
        const LONG rc = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE *>(data), &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const int chars = int(dataBytes / sizeof(wchar_t));
        entries.append({QString::fromWCharArray(name, int(nameLength)),
                        QString::fromWCharArray(data, chars).section(QChar(0), 0, 0)});
    }
    RegCloseKey(key);
    return Win32Port::Listed(entries);
}

} // namespace PortDevices
