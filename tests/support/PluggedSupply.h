// qvr-supply-sim behind a stable path, as udev names an adapter, that can be pulled and replaced
// by another; port 1 leads to the path and is remembered in the database of `dir`.
#pragma once

#include "SimProcess.h"
#include "WindowFixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <memory>

struct PluggedSupply {
    QTemporaryDir dir;
    QString path = dir.filePath("ttyQVR"), log = dir.filePath("rx.log");
    std::unique_ptr<SimProcess> sim;
    PluggedSupply() {
        qputenv("QVR_COM1", QFile::encodeName(path));
        RememberPortIn(dir.path(), 1);
    }
    bool plugIn(const QStringList &args = {}) {
        sim.reset();
        sim = std::make_unique<SimProcess>(args);
        QFile::remove(path);
        return sim->started() && QFile::link(sim->device(), path);
    }
};
