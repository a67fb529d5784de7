#include "PortSettings.h"

#include "PortDevices.h"

#include <QStringList>

QString PortSettings::text() const {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(QChar::fromLatin1(parity))
        .arg(dataBits)
        .arg(stopBits);
}

std::optional<PortSettings> PortSettings::parse(const QString &text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    PortSettings s;
    bool okBaud = false, okBits = false;
    s.baud = parts[0].trimmed().toInt(&okBaud);
    s.dataBits = parts[2].trimmed().toInt(&okBits);
    const QString parity = parts[1].trimmed().toUpper();
    s.stopBits = parts[3].trimmed();
    if (!okBaud || s.baud <= 0 || !okBits || s.dataBits < 4 || s.dataBits > 8 ||
        parity.size() != 1 || !QStringLiteral("EONMS").contains(parity) ||
        (s.stopBits != u"1" && s.stopBits != u"1.5" && s.stopBits != u"2"))
        return std::nullopt;
    s.parity = parity[0].toLatin1();
    return s;
}

QString PortSettings::refusal() const {
#ifdef Q_OS_WIN
    if (stopBits == u"1.5" && dataBits != 5)
        return QStringLiteral("The port cannot use 1.5 stop bits with %1 data bits: Windows allows "
                              "1.5 stop bits with 5 data bits only.")
            .arg(dataBits);
    if (stopBits == u"2" && dataBits == 5)
        return QStringLiteral("The port cannot use 2 stop bits with 5 data bits: Windows allows 2 "
                              "stop bits with 6 to 8 data bits only.");
#endif
    return {};
}

QString DevicePathFor(int port) {
    return DevicePathFor(port, PortDevices::Assigned(port));
}

QString DevicePathFor(int port, const std::optional<QString> &assigned) {
    const QByteArray var = "QVR_COM" + QByteArray::number(port);
    if (qEnvironmentVariableIsSet(var.constData()))
        return qEnvironmentVariable(var.constData());
    if (assigned && !assigned->isEmpty())
        return *assigned;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}
