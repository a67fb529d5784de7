#include "PortDevices.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

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

QString Holder(const QString &device) {
    // Qt names the lock after the path as opened, less /dev/; the other program may have opened
    // the device by another of its names.
    QStringList names{device, QFileInfo(device).canonicalFilePath()};
    for (QString name : names) {
        if (name.isEmpty())
            continue;
        if (name.startsWith(QLatin1String("/dev/")))
            name = name.mid(5);
        name = QStringLiteral("LCK..") + QString(name).replace(QLatin1Char('/'), QLatin1Char('_'));
        for (const char *dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
            const QString path = QLatin1String(dir) + QLatin1Char('/') + name;
            qint64 pid = 0;
            QString host, app;
            QLockFile lock(path);
            if (!QFileInfo::exists(path) || !lock.getLockInfo(&pid, &host, &app))
                continue;
            if (app.compare(QLatin1String("qvr"), Qt::CaseInsensitive) == 0)
                return QStringLiteral("another QVR (process %1 on %2)").arg(pid).arg(host);
            return QStringLiteral("another program, %1 (process %2 on %3),")
                .arg(app.isEmpty() ? QStringLiteral("unnamed") : app)
                .arg(pid)
                .arg(host);
        }
    }
    return {};
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
