// Comm1 on a Windows serial port through the Win32 communications API (the Windows build has no
// Qt SerialPort). Reads wait in the kernel with SetCommTimeouts bounding them, as the Linux port
// waits in poll().
#pragma once

#include "PortDevices.h"
#include "RealComm1.h"

#include <QByteArray>

struct _DCB;

namespace Win32Port {
// What CreateFile opens for a port's device: "COM12" becomes "\\.\COM12" (needed from COM10 up),
// a name already in that form or any other path stays as it is.
QString DeviceName(const QString &device);
// The line settings and flow control (0 none, 1 Xon/Xoff, 2 RTS/CTS, 3 both) put into a DCB.
// False for what the hardware cannot do (fewer than 5 data bits).
bool FillDcb(_DCB &dcb, const PortSettings &settings, int handshaking);
// A device of the COM-port interface class, as SetupAPI describes it.
struct Interface {
    QString path;         // "\\?\usb#vid_0403&pid_6001#...#{86e0d1e0-...}": what is remembered
    QString friendlyName; // "USB Serial Port (COM5)"
    QString portName;     // "COM5"
};
// The ports offered in Options, by number: each interface by its friendly name and path, then
// the registry's (driver device, "COM<n>") pairs no interface has named, as "COM3 - VCP0".
QList<PortDevices::Device> Listed(const QList<QPair<QString, QString>> &entries,
                                  const QList<Interface> &interfaces = {});
} // namespace Win32Port

class Win32Comm1 : public RealComm1 {
public:
    Win32Comm1() = default;
    ~Win32Comm1() override { close(); }
    Win32Comm1(const Win32Comm1 &) = delete;
    Win32Comm1 &operator=(const Win32Comm1 &) = delete;

    bool PortOpen() const override { return handle_ != nullptr; }
    void setPortOpen(bool open) override;

    int InBufferCount() override;
    void ClearInBuffer() override;
    void ClearOutBuffer() override;
    void Output(const QByteArray &text) override;
    QByteArray Input() override;
    bool WaitForChars(int count, int timeoutMs) override;

private:
    void apply() override;
    void requireOpen();
    void timeouts(unsigned long waitMs); // a read's wait (0: none) and the write's bound
    // Reads what the driver holds, waiting up to `waitMs` for `wanted` characters (0: no wait).
    void take(int wanted, unsigned long waitMs);
    [[noreturn]] void fail(const QString &what, unsigned long error = 0);
    // The device went away under an operation (a USB adapter pulled): the handle is closed, so
    // that a later open of the same port number finds the device again once it is back.
    [[noreturn]] void lost(unsigned long error);
    void close();

    void *handle_ = nullptr; // the open port's HANDLE
    QByteArray taken_;       // read from the driver, not yet handed out
};
