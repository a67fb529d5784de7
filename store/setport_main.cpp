// qvr-setport DIR N [DEVICE]: remembers port N in the database of DIR, as a successful reconnect
// would, so that a prepared installation (or the demo) starts without the first-run questions;
// with DEVICE, also that port N leads there, as the Options dialog's "Device:" assigns it.
#include "Database.h"
#include "PortDevices.h"
#include "Tables.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    const int port = args.value(2).toInt(&ok);
    if (args.size() < 3 || args.size() > 4 || !ok || port < 1) {
        std::fprintf(stderr, "usage: qvr-setport DIR PORT [DEVICE]\n");
        return 2;
    }
    try {
        QDir().mkpath(args[1]);
        Database db;
        db.Open(QDir(args[1]).filePath(Database::FileName));
        SettingsTable::RememberPort(db, port);
        if (args.size() == 4)
            SettingsTable::RememberRecord(db, PortDevices::RecordName(port), args[3]);
    } catch (const StoreError &e) {
        std::fprintf(stderr, "qvr-setport: %s\n", e.what());
        return 1;
    }
    return 0;
}
