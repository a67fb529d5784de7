#include "FolderLock.h"

#include "Database.h"

#include <QDir>

FolderLock::FolderLock(const QString &dir)
    : dir_(dir), lock_(QDir(dir).filePath(Database::FileName + QStringLiteral(".lock"))) {
    lock_.setStaleLockTime(0); // only a holder that is gone leaves it free, however long it ran
}

QString FolderLock::Take() {
    if (lock_.tryLock(0))
        return {};
    qint64 pid = 0;
    QString host, app;
    if (lock_.error() == QLockFile::LockFailedError && lock_.getLockInfo(&pid, &host, &app))
        return QStringLiteral("Another QVR (process %1 on %2) has the database in %3 open. Start "
                              "this one with --data and a folder of its own.")
            .arg(pid)
            .arg(host, QDir::toNativeSeparators(dir_));
    return QStringLiteral("The database in %1 cannot be locked for this program: its folder "
                          "takes no files.")
        .arg(QDir::toNativeSeparators(dir_));
}
