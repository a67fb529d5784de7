#include "SerialComm1.h"

#include "PortDevices.h"

#include <QElapsedTimer>

SerialComm1::SerialComm1() = default;

void SerialComm1::fail(const QString &what) {
    QString text = QStringLiteral("%1 (port %2, %3)").arg(what).arg(port_).arg(device_);
    if (serial_.error() != QSerialPort::NoError)
        text += QStringLiteral(": ") + serial_.errorString();
    serial_.clearError();
    throw CommError(text);
}

void SerialComm1::lost() {
    QString text = QStringLiteral("Serial port lost (port %1, %2)").arg(port_).arg(device_);
    if (serial_.error() != QSerialPort::NoError && serial_.error() != QSerialPort::TimeoutError)
        text += QStringLiteral(": ") + serial_.errorString();
    serial_.clearError();
    serial_.close();
    throw CommError(text);
}

void SerialComm1::apply() {
    using SP = QSerialPort;
    if (settings_.dataBits < 5)
        fail(QStringLiteral("%1 data bits are not supported").arg(settings_.dataBits));
    SP::Parity parity = settings_.parity == 'E'   ? SP::EvenParity
                        : settings_.parity == 'O' ? SP::OddParity
                        : settings_.parity == 'M' ? SP::MarkParity
                        : settings_.parity == 'S' ? SP::SpaceParity
                                                  : SP::NoParity;
    SP::StopBits stop = settings_.stopBits == u"2"     ? SP::TwoStop
                        : settings_.stopBits == u"1.5" ? SP::OneAndHalfStop
                                                       : SP::OneStop;
    // QSerialPort has no combined Xon/Xoff + RTS/CTS: mode 3 uses RTS/CTS, the stronger of the two.
    SP::FlowControl flow = handshaking_ == 1   ? SP::SoftwareControl
                           : handshaking_ >= 2 ? SP::HardwareControl
                                               : SP::NoFlowControl;
    if (!serial_.setBaudRate(settings_.baud) ||
        !serial_.setDataBits(static_cast<SP::DataBits>(settings_.dataBits)) ||
        !serial_.setParity(parity) || !serial_.setStopBits(stop) || !serial_.setFlowControl(flow))
        fail(QStringLiteral("Cannot apply settings %1").arg(settings_.text()));
}

void SerialComm1::setPortOpen(bool open) {
    if (!open) {
        if (serial_.isOpen())
            serial_.close();
        return;
    }
    if (serial_.isOpen())
        throw CommError(QStringLiteral("Port already open"));
    device_ = DevicePathFor(port_);
    serial_.setPortName(device_);
    if (!serial_.open(QIODevice::ReadWrite)) {
        const QString holder = serial_.error() == QSerialPort::PermissionError
                                   ? PortDevices::Holder(device_)
                                   : QString();
        if (!holder.isEmpty()) {
            // Qt reports a port another program holds as a permission error: name the holder.
            serial_.clearError();
            throw CommError(QStringLiteral("Cannot open serial port (port %1, %2): %3 is using it. "
                                           "Close it there, or give this QVR another port in "
                                           "Options.")
                                .arg(port_)
                                .arg(device_, holder));
        }
        if (serial_.error() == QSerialPort::PermissionError) {
            // The usual cause on Linux, and its fix, rather than a bare "Permission denied".
            const QString user = qEnvironmentVariable("USER", QStringLiteral("<user>"));
            serial_.clearError();
            throw CommError(QStringLiteral("Cannot open serial port (port %1, %2): Permission "
                                           "denied. Serial ports belong to the group dialout: "
                                           "add the user to it (sudo adduser %3 dialout), then "
                                           "log out and in again.")
                                .arg(port_)
                                .arg(device_, user));
        }
        fail(QStringLiteral("Cannot open serial port"));
    }
    try {
        apply();
    } catch (...) {
        serial_.close();
        throw;
    }
}

int SerialComm1::InBufferCount() {
    if (!serial_.isOpen())
        fail(QStringLiteral("Port is not open"));
    return int(serial_.bytesAvailable());
}

void SerialComm1::ClearInBuffer() {
    if (!serial_.isOpen())
        fail(QStringLiteral("Port is not open"));
    if (!serial_.clear(QSerialPort::Input))
        lost();
    serial_.readAll(); // whatever QSerialPort had already taken from the driver
}

void SerialComm1::ClearOutBuffer() {
    if (!serial_.isOpen())
        fail(QStringLiteral("Port is not open"));
    if (!serial_.clear(QSerialPort::Output))
        lost();
}

void SerialComm1::Output(const QByteArray &text) {
    if (!serial_.isOpen())
        fail(QStringLiteral("Port is not open"));
    // Hand the line to the driver now rather than on the next event-loop turn.
    const bool written = serial_.write(text) == text.size();
    serial_.flush();
    if (!written || serial_.error() == QSerialPort::ResourceError ||
        serial_.error() == QSerialPort::WriteError)
        lost();
}

QByteArray SerialComm1::Input() {
    if (!serial_.isOpen())
        fail(QStringLiteral("Port is not open"));
    return serial_.readAll();
}

bool SerialComm1::WaitForChars(int count, int timeoutMs) {
    if (!serial_.isOpen())
        fail(QStringLiteral("Port is not open"));
    QElapsedTimer timer; // monotonic
    timer.start();
    while (serial_.bytesAvailable() < count) {
        const qint64 remaining = timeoutMs - timer.elapsed();
        if (remaining <= 0)
            return false;
        if (!serial_.waitForReadyRead(int(remaining))) {
            const auto error = serial_.error();
            if (error == QSerialPort::TimeoutError) {
                serial_.clearError();
                continue; // the loop head decides whether time is up
            }
            if (error == QSerialPort::NoError)
                return serial_.bytesAvailable() >= count; // never loop on an idle false
            lost();
        }
    }
    return true;
}
