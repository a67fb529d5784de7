// A main window wired to the in-process supply, a manual clock, scripted dialogs and a database
// in a temporary directory.
#pragma once

#include "Clock.h"
#include "Database.h"
#include "ScriptedDialogs.h"
#include "SimComm1.h"
#include "SupplyModel.h"
#include "TabbedFrm.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <memory>

// Remembers port `port` in the database of `dir`, as an earlier run would have.
void RememberPortIn(const QString &dir, int port);

struct WindowFixture {
    QTemporaryDir dir;
    SupplyModel supply;
    ManualClock clock;
    SimComm1 port{supply, clock};
    ScriptedDialogs dialogs;
    std::unique_ptr<TabbedFrm> window;

    QString dbPath() const { return dir.filePath(Database::FileName); }
    TabbedFrm &make();
    // The not-ready message and the two limit boxes of a start-up without a supply.
    void expectFirstRunPrompts(const QString &maxVolt = "30", const QString &maxCurr = "3");
    // Makes the window and runs start-up with a supply on the remembered port 1.
    TabbedFrm &startConnected();
};
