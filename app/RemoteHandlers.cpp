// The window's side of remote control: the server started and stopped, its status on the panel,
// and the core kept up to date for the scripts that read it.
#include "CounterBox.h"
#include "Module1.h"
#include "Panel.h"
#include "RemoteServer.h"
#include "Setpoints.h"
#include "TabbedFrm.h"
#include "Tables.h"

#include <QStatusBar>
#include <cstdio>

void TabbedFrm::SyncSupply() {
    supply.SetReading({Module1::MeasVolt, Module1::MeasCurr, pollMode_});
    supply.SetSetpoints(Setpoints::LastSent.volt, Setpoints::LastSent.curr);
    supply.SetCounters(panel->Counters->Meter.Ah(), panel->Counters->Meter.Wh());
    Supply::Run run;
    if (internalPage->Running())
        run.where = Supply::Where::Internal;
    else if (externalPage->Running())
        run = {Supply::Where::External, externalPage->CurrentStep, externalPage->CurrentPass};
    supply.SetRun(run);
}

QString TabbedFrm::SetRemote(bool on, quint16 port, bool remember) {
    if (remember) {
        try {
            SettingsTable::RememberRecord(db_, SettingsTable::RemoteRecord,
                                          on ? QStringLiteral("1") : QStringLiteral("0"));
            SettingsTable::RememberRecord(db_, SettingsTable::RemotePortRecord,
                                          QString::number(port));
        } catch (const StoreError &e) {
            std::fprintf(stderr, "qvr: %s\n", e.what()); // it holds for this session
        }
    }
    remotePort_ = port;
    QString why;
    if (on) {
        if (!remote) {
            remote = new RemoteServer(supply, QStringLiteral(QVR_VERSION), this);
            connect(remote, &RemoteServer::happened, this, &TabbedFrm::NoteEvent);
            // Stays until the next message: the operator may be looking elsewhere.
            connect(remote, &RemoteServer::warning, statusBar(),
                    [this](const QString &text) { statusBar()->showMessage(text); });
            connect(remote, &RemoteServer::clientsChanged, this,
                    [this] { panel->ShowRemote(remote ? remote->Status() : QString()); });
        }
        if (remote->Listening() && (port == 0 || remote->Port() == port))
            return {};
        why = remote->Listen(port);
        if (why.isEmpty()) {
            NoteEvent(QStringLiteral("remote control on, port %1").arg(remote->Port()));
            return {};
        }
        why = QStringLiteral("Remote control cannot listen on port %1: %2 .").arg(port).arg(why);
    } else if (!remote) {
        return {};
    } else {
        NoteEvent(QStringLiteral("remote control off"));
    }
    remote->Close(); // its clients go now
    remote->deleteLater();
    remote = nullptr;
    panel->ShowRemote(QString());
    return why;
}

void TabbedFrm::LoadRemote() {
    try {
        const auto port = SettingsTable::ReadRecord(db_, SettingsTable::RemotePortRecord);
        if (const int n = port ? port->toInt() : 0; n > 0 && n < 65536)
            remotePort_ = quint16(n);
        if (SettingsTable::ReadRecord(db_, SettingsTable::RemoteRecord) == QStringLiteral("1"))
            if (const QString why = SetRemote(true, remotePort_, false); !why.isEmpty())
                statusBar()->showMessage(why);
    } catch (const StoreError &) {
        // no settings table: remote control stays off
    }
}
