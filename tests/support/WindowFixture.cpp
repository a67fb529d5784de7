#include "WindowFixture.h"

#include "Module1.h"
#include "Tables.h"

#include <QDir>

void WindowFixture::expectFirstRunPrompts(const QString &maxVolt, const QString &maxCurr) {
    dialogs.expectMsg(Module1::NotReadyMsg);
    dialogs.expectInput("Input max voltage value please .", maxVolt);
    dialogs.expectInput("Input max current value please .", maxCurr);
}

void RememberPortIn(const QString &dir, int port) {
    Database db;
    db.Open(QDir(dir).filePath(Database::FileName));
    SettingsTable::RememberPort(db, port);
}

TabbedFrm &WindowFixture::make() {
    Module1::ResetSharedState();
    window = std::make_unique<TabbedFrm>(port, dialogs, clock, dbPath());
    return *window;
}

TabbedFrm &WindowFixture::startConnected() {
    RememberPortIn(dir.path(), 1);
    make();
    window->Form_Load();
    window->Form_Activate();
    return *window;
}
