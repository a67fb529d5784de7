// One QVR to a database: a second one started on a data folder that another holds open is
// refused, with the other named, rather than two writers on one file.
#pragma once

#include <QLockFile>
#include <QString>

class FolderLock {
public:
    explicit FolderLock(const QString &dir);
    // "" when this program holds the folder now; else why it may not.
    QString Take();

private:
    QString dir_;
    QLockFile lock_;
};
