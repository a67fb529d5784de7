#include "PortDevices.h"

#include <QDir>
#include <QFileInfo>

namespace PortDevices {

namespace {
QMap<int, QString> &assignments() {
    static QMap<int, QString> map;
    return map;
}
} // namespace

void Assign(int port, const QString &device) {
    if (device.isEmpty())
        assignments().remove(port);
    else
        assignments().insert(port, device);
}

std::optional<QString> Assigned(int port) {
    const auto it = assignments().constFind(port);
    if (it == assignments().cend())
        return std::nullopt;
    return *it;
}

void ClearAll() {
    assignments().clear();
}

QString Origin(int port) {
    if (qEnvironmentVariableIsSet(QByteArray("QVR_COM" + QByteArray::number(port)).constData()))
        return QStringLiteral("the variable QVR_COM%1").arg(port);
    return Assigned(port) ? QStringLiteral("assigned in Options") : QStringLiteral("the default");
}

QString StablePath(const QString &device, const QString &byIdDir) {
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return device;
    const QDir dir(byIdDir);
    for (const QFileInfo &link :
         dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (link.canonicalFilePath() == target)
            return link.absoluteFilePath();
    return device;
}

QString RecordName(int port) {
    return QStringLiteral("ComDevice%1").arg(port);
}

std::optional<int> PortOfRecord(const QString &name) {
    if (!name.startsWith(u"ComDevice"))
        return std::nullopt;
    bool ok = false;
    const int port = name.mid(9).toInt(&ok);
    return ok && port > 0 ? std::optional<int>(port) : std::nullopt;
}

} // namespace PortDevices
