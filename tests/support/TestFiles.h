#pragma once

#include <QCryptographicHash>
#include <QFile>

inline QByteArray ReadFile(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A file's content as one hash, to show that nothing wrote to it.
inline QByteArray FileHash(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
