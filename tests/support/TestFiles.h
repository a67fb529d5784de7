#pragma once

#include <QFile>
#include <QSaveFile>

// A file's bytes; also to show that nothing wrote to it.
inline QByteArray ReadFile(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// What the system says of a file made in a folder that does not exist: "No such file or
// directory" on Linux, words of its own on Windows.
inline QString NoFolderText(const QString &path) {
    QSaveFile f(path);
    f.open(QIODevice::WriteOnly);
    return f.errorString();
}
