// The serial ports present on Windows, as Device Manager names them: the devices of the COM-port
// interface class (SetupAPI), each with its friendly name ("USB Serial Port (COM5)") and its
// interface path, which stays with the adapter whatever COM number Windows gives it next; then
// the ports only the registry's list of serial devices (HARDWARE\DEVICEMAP\SERIALCOMM) knows,
// virtual ports and Wine's among them.
#include "PortDevices.h"
#include "Win32Comm1.h"

#include <algorithm>
#include <windows.h>
#include <setupapi.h>
#include <vector>

namespace Win32Port {

QList<PortDevices::Device> Listed(const QList<QPair<QString, QString>> &entries,
                                  const QList<Interface> &interfaces) {
    QList<QPair<int, PortDevices::Device>> numbered;
    const auto number = [](const QString &com) { return com.mid(3).toInt(); };
    QStringList known;
    for (const Interface &i : interfaces) {
        known << i.portName.toUpper();
        numbered.append({number(i.portName),
                         {i.path, i.friendlyName.isEmpty() ? i.portName : i.friendlyName}});
    }
    for (const auto &[driver, name] : entries) {
        if (known.contains(name.toUpper()))
            continue;
        const QString kind = driver.section(u'\\', -1); // "\Device\VCP0" -> "VCP0"
        numbered.append(
            {number(name), {name, kind.isEmpty() ? name : name + QStringLiteral(" - ") + kind}});
    }
    // By number, as an operator counts them: COM2 before COM10.
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<PortDevices::Device> devices;
    for (const auto &n : numbered)
        devices.append(n.second);
    return devices;
}

} // namespace Win32Port

namespace {

// GUID_DEVINTERFACE_COMPORT
const GUID ComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30,
                                                            0x1F, 0x73}};

QList<QPair<QString, QString>> SerialCommEntries() {
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
    return entries;
}

QString RegistryText(HKEY key, const wchar_t *value) {
    wchar_t text[256];
    DWORD bytes = sizeof text - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE *>(text), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return QString::fromWCharArray(text, int(bytes / sizeof(wchar_t))).section(QChar(0), 0, 0);
}

QList<Win32Port::Interface> ComInterfaces() {
    QList<Win32Port::Interface> found;
    HDEVINFO set = SetupDiGetClassDevsW(&ComPortInterface, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return {};
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &ComPortInterface, i, &iface);
         ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &iface, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        std::vector<char> buffer(size);
        auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, size, nullptr, &device))
            continue;
        Win32Port::Interface port;
        port.path = QString::fromWCharArray(detail->DevicePath);
        wchar_t friendly[256] = {};
        if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE *>(friendly),
                                              sizeof friendly - sizeof(wchar_t), nullptr))
            port.friendlyName = QString::fromWCharArray(friendly);
        if (HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            key != INVALID_HANDLE_VALUE) {
            port.portName = RegistryText(key, L"PortName");
            RegCloseKey(key);
        }
        if (port.portName.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive))
            found.append(port);
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

} // namespace

namespace PortDevices {

QList<Device> Present() {
    return Win32Port::Listed(SerialCommEntries(), ComInterfaces());
}

} // namespace PortDevices
