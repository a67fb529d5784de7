#pragma once

#include <QFile>

// A file's bytes; also to show that nothing wrote to it.
inline QByteArray ReadFile(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
