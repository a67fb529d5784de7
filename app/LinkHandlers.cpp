// The state of the link to the supply, decided in one place: the panel, the polling, the
// readings and the automatic reconnect's tries follow every change of it.
#include "Comm1.h"
#include "DataLogPage.h"
#include "Dialogs.h"
#include "Module1.h"
#include "Panel.h"
#include "TabbedFrm.h"
#include "Tables.h"

#include <QStatusBar>
#include <cstdio>

using namespace Module1;

void TabbedFrm::LinkUp() {
    Connected = true;
    supply.SetConnected(true);
    ReconnectTimer->stop();
    panel->ShowStatus();
}

void TabbedFrm::LinkDown() {
    // No poll answers now: nothing may go on showing, sampling or recording the last reading.
    Connected = false;
    supply.SetConnected(false);
    Timer1->stop();
    adoptRun_ = false; // the next connection watches again
    MeasVolt = MeasCurr = -1;
    panel->ClearReadouts();
    dataLogPage->Light1->hide();
    panel->ShowStatus();
    StartTries();
}

void TabbedFrm::StartTries() {
    if (autoReconnect_ && !Connected && !unloaded_ && comm1_.CommPort() > 0 &&
        !ReconnectTimer->isActive())
        ReconnectTimer->start();
}

void TabbedFrm::LinkBox(const QString &text, Dialogs::Icon icon) {
    // One box at a time: while it waits for its OK, what follows goes to the status line (and
    // the recording), and the tries go on beneath it.
    if (linkBox_) {
        statusBar()->showMessage(
            QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
        return;
    }
    linkBox_ = true;
    dialogs_.MsgBox(text, Dialogs::Buttons::Ok, icon);
    linkBox_ = false;
}

void TabbedFrm::PortLost(const QString &description) {
    // A pulled adapter must not leave a locked window or frozen readings that look live.
    QString text = description;
    if (internalPage->Running()) {
        internalPage->BackToIdle(0); // nothing can reach the supply now
        text += QStringLiteral("\r\nThe program may still be running in the power supply .");
    }
    if (externalPage->Running()) {
        externalPage->PendingCurr.reset(); // nothing can reach the supply now
        externalPage->EndRun(true);
        text += QStringLiteral("\r\nThe external timed program was stopped; the power supply "
                               "keeps its last setpoints .");
    }
    LinkDown();
    panel->Command4[1]->setEnabled(true); // "Reset" reconnects
    NoteEvent(QStringLiteral("port lost: ") + description);
    LinkBox(text);
}

void TabbedFrm::ReconnectTimer_Timer() {
    if (Connected || unloaded_ || !autoReconnect_) {
        ReconnectTimer->stop();
        return;
    }
    // Not while the operator's own Reset or its box is at work, a reset counts down, or the
    // operator is in Options.
    if (linkWork_ > 0 || CurCmd == u"SRST" || !centralWidget()->isEnabled())
        return;
    try {
        if (panel->Reconnect(true)) {
            statusBar()->showMessage(QStringLiteral("The power supply answers again on port %1 .")
                                         .arg(comm1_.CommPort()));
            return;
        }
    } catch (const CommError &) {
        // Not back yet, or back and gone again: a failed try like any other.
    }
    // The port is closed for the next try, so that it opens the device found then.
    try {
        if (comm1_.PortOpen())
            comm1_.setPortOpen(false);
    } catch (const CommError &) {
    }
}

void TabbedFrm::SetAutoReconnect(bool on) {
    autoReconnect_ = on;
    try {
        SettingsTable::RememberRecord(db_, SettingsTable::ReconnectRecord,
                                      on ? QStringLiteral("1") : QStringLiteral("0"));
    } catch (const StoreError &e) {
        std::fprintf(stderr, "qvr: %s\n", e.what()); // it holds for this session
    }
    if (on)
        StartTries();
    else
        ReconnectTimer->stop();
}
