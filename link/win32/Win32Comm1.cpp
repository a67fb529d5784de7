#include "Win32Comm1.h"

#include <QElapsedTimer>
#include <windows.h>

namespace {
// The system's own text for an error code, without its trailing line break.
QString SystemText(DWORD error) {
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString result =
        n ? QString::fromWCharArray(text, int(n)).trimmed() : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    return result;
}

HANDLE Handle(void *h) {
    return static_cast<HANDLE>(h);
}
} // namespace

namespace Win32Port {

QString DeviceName(const QString &device) {
    if (device.startsWith(QStringLiteral("\\\\.\\")) || device.contains(u'\\') ||
        device.contains(u'/'))
        return device;
    return QStringLiteral("\\\\.\\") + device;
}

bool FillDcb(DCB &dcb, const PortSettings &s, int handshaking) {
    if (s.dataBits < 5 || s.dataBits > 8)
        return false;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = DWORD(s.baud);
    dcb.ByteSize = BYTE(s.dataBits);
    dcb.Parity = s.parity == 'E'   ? EVENPARITY
                 : s.parity == 'O' ? ODDPARITY
                 : s.parity == 'M' ? MARKPARITY
                 : s.parity == 'S' ? SPACEPARITY
                                   : NOPARITY;
    dcb.StopBits = s.stopBits == u"2"     ? TWOSTOPBITS
                   : s.stopBits == u"1.5" ? ONE5STOPBITS
                                          : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE; // an error must not stall every later read until cleared
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    // Mode 3 is both at once, which Windows can do.
    const bool xon = handshaking == 1 || handshaking == 3;
    const bool rts = handshaking == 2 || handshaking == 3;
    dcb.fOutX = dcb.fInX = xon;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 512;
    dcb.XoffLim = 512;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutxCtsFlow = rts;
    dcb.fRtsControl = rts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    return true;
}

} // namespace Win32Port

void Win32Comm1::fail(const QString &what, unsigned long error) {
    QString text = QStringLiteral("%1 (port %2, %3)").arg(what).arg(port_).arg(device_);
    if (error)
        text += QStringLiteral(": ") + SystemText(error);
    throw CommError(text);
}

void Win32Comm1::lost(unsigned long error) {
    const QString text = QStringLiteral("Serial port lost (port %1, %2): %3")
                             .arg(port_)
                             .arg(device_, SystemText(error));
    close();
    throw CommError(text);
}

void Win32Comm1::close() {
    if (handle_)
        CloseHandle(Handle(handle_));
    handle_ = nullptr;
    taken_.clear();
}

void Win32Comm1::requireOpen() {
    if (!handle_)
        fail(QStringLiteral("Port is not open"));
}

void Win32Comm1::apply() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(Handle(handle_), &dcb))
        fail(QStringLiteral("Cannot apply settings %1").arg(settings_.text()), GetLastError());
    if (!Win32Port::FillDcb(dcb, settings_, handshaking_))
        fail(QStringLiteral("%1 data bits are not supported").arg(settings_.dataBits));
    if (!SetCommState(Handle(handle_), &dcb))
        fail(QStringLiteral("Cannot apply settings %1").arg(settings_.text()), GetLastError());
}

void Win32Comm1::setPortOpen(bool open) {
    if (!open) {
        close();
        return;
    }
    if (handle_)
        throw CommError(QStringLiteral("Port already open"));
    device_ = DevicePathFor(port_);
    const std::wstring name = Win32Port::DeviceName(device_).toStdWString();
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            // The usual cause on Windows, rather than a bare "Access is denied".
            fail(QStringLiteral("Cannot open serial port: another program is using it"), error);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            // What a pulled USB adapter gives: its COM name is gone from the system.
            throw CommError(QStringLiteral("Cannot open serial port (port %1, %2): %3 does not "
                                           "exist (adapter unplugged?)")
                                .arg(port_)
                                .arg(device_,
                                     device_.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive)
                                         ? device_
                                         : QStringLiteral("the adapter")));
        fail(QStringLiteral("Cannot open serial port"), error);
    }
    handle_ = h;
    SetupComm(h, 4096, 4096);
    try {
        apply();
        timeouts(0);
    } catch (...) {
        close();
        throw;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
}

void Win32Comm1::timeouts(unsigned long waitMs) {
    // No wait: whatever is there. A wait: until the characters asked for or waitMs, in the
    // kernel. A line held by flow control must not hold the window: a write gets 1 s plus 4 ms a
    // character (a character at 9600 baud is about 1 ms).
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = waitMs ? 0 : MAXDWORD;
    t.ReadTotalTimeoutConstant = waitMs;
    t.WriteTotalTimeoutConstant = 1000;
    t.WriteTotalTimeoutMultiplier = 4;
    if (!SetCommTimeouts(Handle(handle_), &t))
        lost(GetLastError());
}

void Win32Comm1::take(int wanted, unsigned long waitMs) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(Handle(handle_), &errors, &stat))
        lost(GetLastError());
    const DWORD ask = waitMs ? DWORD(std::max(wanted, 1)) : stat.cbInQue;
    if (ask == 0)
        return;
    timeouts(waitMs);
    QByteArray chunk(int(ask), Qt::Uninitialized);
    DWORD got = 0;
    if (!ReadFile(Handle(handle_), chunk.data(), ask, &got, nullptr))
        lost(GetLastError());
    taken_.append(chunk.constData(), int(got));
}

int Win32Comm1::InBufferCount() {
    requireOpen();
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(Handle(handle_), &errors, &stat))
        lost(GetLastError());
    return taken_.size() + int(stat.cbInQue);
}

void Win32Comm1::ClearInBuffer() {
    requireOpen();
    if (!PurgeComm(Handle(handle_), PURGE_RXCLEAR | PURGE_RXABORT))
        lost(GetLastError());
    taken_.clear();
}

void Win32Comm1::ClearOutBuffer() {
    requireOpen();
    if (!PurgeComm(Handle(handle_), PURGE_TXCLEAR | PURGE_TXABORT))
        lost(GetLastError());
}

void Win32Comm1::Output(const QByteArray &text) {
    requireOpen();
    DWORD written = 0;
    if (!WriteFile(Handle(handle_), text.constData(), DWORD(text.size()), &written, nullptr))
        lost(GetLastError());
    if (written != DWORD(text.size()))
        fail(QStringLiteral("Cannot send to the supply: the line is held (flow control)"));
}

QByteArray Win32Comm1::Input() {
    requireOpen();
    take(0, 0);
    QByteArray all;
    all.swap(taken_);
    return all;
}

bool Win32Comm1::WaitForChars(int count, int timeoutMs) {
    requireOpen();
    QElapsedTimer timer; // monotonic
    timer.start();
    take(0, 0);
    while (taken_.size() < count) {
        const qint64 remaining = timeoutMs - timer.elapsed();
        if (remaining <= 0)
            return false;
        take(count - taken_.size(), DWORD(remaining));
    }
    return true;
}
