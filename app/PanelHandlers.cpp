// The panel's handlers: "Set" with the setpoint boxes, "Reset" (reconnect or supply reset with
// its countdown) and "Options".
#include "Panel.h"

#include "Clock.h"
#include "Connection.h"
#include "DataLogPage.h"
#include "Dialogs.h"
#include "Exchange.h"
#include "GridEditor.h"
#include "Module1.h"
#include "PortDevices.h"
#include "PropertiesFrm.h"
#include "Setpoints.h"
#include "TabbedFrm.h"
#include "Tables.h"

#include <QKeyEvent>
#include <QTimer>
#include <cstdio>
#include <utility>

using namespace Module1;

template <typename F> void Panel::UnderTrap(int index, F &&command) {
    try {
        command();
    } catch (const std::runtime_error &e) {
        main_.setEnabled(true);
        Command4[index]->setEnabled(true);
        main_.Tab1->setEnabled(true);
        // A port that fails while connected leaves no frozen readings that look live; one that
        // fails before the supply was found is a failed reconnect, and the tries go on.
        const bool port = dynamic_cast<const CommError *>(&e);
        if (port && Connected) {
            main_.PortLost(QString::fromStdString(e.what()));
        } else {
            if (port)
                main_.LinkDown();
            dialogs_.MsgBox(QString::fromStdString(e.what()));
        }
    }
}

void Panel::Command4_Click(int index) {
    main_.editor->HideEditor();
    switch (index) {
    case 0:
        UnderTrap(0, [this] { SetOutput(); });
        break;
    case 1: {
        const TabbedFrm::LinkWork work(main_); // no automatic try until its boxes are answered
        UnderTrap(1, [this] {
            if (MeasVolt == -1 || !Connected)
                Reconnect();
            else
                ResetSupply();
        });
        break;
    }
    case 2:
        ShowOptions();
        break;
    }
    ShowStatus();
    if (Connected)
        main_.ChartDefaults();
}

// --- Setpoints -------------------------------------------------------------------------------

bool Panel::ColourSetpoints() {
    const bool valid = Setpoints::VoltValid(Setpoints::BoxValue(Text2[0]->text())) &&
                       Setpoints::CurrValid(Setpoints::BoxValue(Text2[1]->text()));
    for (QLineEdit *box : Text2)
        Panel::SetTextColor(box, valid ? Panel::DarkGreen : QColor(Qt::black));
    return valid;
}

void Panel::Text2_GotFocus(int index) {
    main_.editor->HideEditor();
    ColourSetpoints();
    // After the click that gave the focus has placed the caret.
    QTimer::singleShot(0, Text2[index], &QLineEdit::selectAll);
}

void Panel::Text2_KeyUp(int index) {
    SetpointsFromOutput = false; // the operator's entry from now on
    OwnSetpoints = true;
    if (Text2[index]->text() != refused_[size_t(index)])
        refused_[size_t(index)].clear();
    CheckSetpoints();
}

void Panel::OfferReading(bool unitLetters) {
    if (!SetpointsFromOutput || MeasVolt == -1 || MeasCurr == -1)
        return;
    SetpointsFromOutput = false;
    Text2[0]->setText(Format(MeasVolt, QStringLiteral("00.0")) +
                      (unitLetters ? QStringLiteral("V") : QString()));
    Text2[1]->setText(Format(MeasCurr, QStringLiteral("0.00")) +
                      (unitLetters ? QStringLiteral("A") : QString()));
}

void Panel::CheckSetpoints() {
    const bool valid = ColourSetpoints();
    // While a running program holds the boxes, "Set" keeps the state the run gave it.
    if (Text2[0]->isEnabledTo(this))
        Command4[0]->setEnabled(valid);
}

void Panel::Text2_Enter(int index) {
    QLineEdit *box = Text2[index];
    // Read as every other check reads it: "0,5" is 0.5 here too.
    const float value = Setpoints::BoxValue(box->text());
    const bool valid = index == 0 ? Setpoints::VoltValid(value) : Setpoints::CurrValid(value);
    if (!valid) {
        SayRefused(index, true);
        box->setText(index == 0 ? QStringLiteral("00.0") : QStringLiteral("0.00"));
        box->selectAll();
        refused_[size_t(index)] = box->text(); // said once; leaving need not say it again
        return;
    }
    if (index == 0)
        Text2[1]->setFocus();
    else if (Text2[0]->text().isEmpty())
        Text2[0]->setFocus();
    else
        Command4_Click(0);
}

void Panel::SayRefused(int index, bool onEnter) {
    setpointMessage_ = true; // the box's own focus change is not the operator's
    dialogs_.MsgBox(index == 0 ? Setpoints::VoltMessage(onEnter) : Setpoints::CurrMessage(onEnter));
    setpointMessage_ = false;
}

void Panel::Text2_LostFocus(int index) {
    QLineEdit *box = Text2[index];
    const float value = Setpoints::BoxValue(box->text());
    const bool refusedAlready = box->text() == std::exchange(refused_[size_t(index)], {});
    if (index == 0) {
        if (Setpoints::VoltValid(value)) {
            box->setText(Format(value, QStringLiteral("00.0")) + u'V');
            return;
        }
        if (!refusedAlready)
            dialogs_.MsgBox(Setpoints::VoltMessage(false));
        box->setText(QStringLiteral("00.0V"));
    } else {
        if (Setpoints::CurrValid(value)) {
            box->setText(Format(value, QStringLiteral("0.00")) + u'A');
            return;
        }
        if (!refusedAlready)
            dialogs_.MsgBox(Setpoints::CurrMessage(false));
        box->setText(QStringLiteral("0.00A"));
    }
}

void Panel::SetOutput() {
    // Enter performs "Set" whatever the button's state: an entry out of range is never sent.
    const float volts = Setpoints::BoxValue(Text2[0]->text());
    const float amps = Setpoints::BoxValue(Text2[1]->text());
    if (!Setpoints::VoltValid(volts) || !Setpoints::CurrValid(amps)) {
        const int bad = Setpoints::VoltValid(volts) ? 1 : 0;
        SayRefused(bad, false);
        refused_[size_t(bad)] = Text2[bad]->text(); // said once; leaving need not say it again
        Text2[bad]->setFocus();
        Text2[bad]->selectAll();
        return;
    }
    SetpointsFromOutput = false;
    OwnSetpoints = true;
    main_.Timer1->stop();
    Setpoints::Send(comm1_, clock_, volts, amps);
    main_.SetpointsSent(volts, amps);
    CurCmd = QStringLiteral("GETD");
    main_.Timer1->start();
    Text2[0]->setFocus();
}

bool Panel::SetpointEvent(QObject *watched, QEvent *event) {
    for (int i = 0; i < 2; ++i) {
        if (watched != Text2[i])
            continue;
        switch (event->type()) {
        case QEvent::FocusIn:
            Text2_GotFocus(i);
            break;
        case QEvent::FocusOut: {
            // A box of our own or another window taking the focus is no leaving of the box.
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            if (!setpointMessage_ && reason != Qt::ActiveWindowFocusReason &&
                reason != Qt::PopupFocusReason)
                Text2_LostFocus(i);
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Text2_Enter(i);
                return true;
            }
            break;
        }
        case QEvent::KeyRelease:
            Text2_KeyUp(i);
            break;
        default:
            break;
        }
    }
    return false;
}

bool Panel::Reconnect(bool quiet) {
    QPushButton *button = Command4[1];
    if (!quiet) {
        main_.Tab1->setEnabled(false);
        main_.Timer1->stop();
        Picture0->setFocus();
        button->setEnabled(false);
        IndicatorsOff();
    }
    if (!comm1_.PortOpen())
        comm1_.setPortOpen(true);
    const bool answered = Connection::ProbeLimits(comm1_, clock_, quiet ? 1 : 3);
    // The first poll belongs to the try: a supply that answers GMAX and then nothing is not
    // back. A port that fails here throws, before anything says "connected".
    if (answered) {
        SetpointsFromOutput = false;
        main_.PollOutputState();
    }
    if (answered && (!quiet || MeasVolt != -1)) {
        main_.LinkUp();
        main_.NoteEvent(QStringLiteral("port back"));
        try {
            SettingsTable::RememberPort(main_.db(), comm1_.CommPort());
        } catch (const StoreError &e) {
            // The supply answered: keep working with it even if the port cannot be stored.
            if (quiet)
                std::fprintf(stderr, "qvr: %s\n", e.what());
            else
                dialogs_.MsgBox(e.description());
        }
        main_.WatchForRunningProgram(); // by the next poll, with the panel usable again
        // The operator's Reset fills the boxes from the output; the automatic reconnect keeps
        // what the operator set there.
        SetpointsFromOutput = !quiet || !OwnSetpoints;
        OfferReading(false); // no unit letters here; a -1 reading waits for a later poll
        CheckSetpoints();    // new limits, perhaps the same texts
        main_.Timer1->setInterval(PollInterval);
        main_.Timer1->start();
        main_.Timer2->start();
        button->setEnabled(true);
        main_.Tab1->setEnabled(true);
        main_.RestartLiveLogging();
        return true;
    }
    if (quiet)
        return false;
    LastReply.clear();
    main_.LinkDown();
    main_.LinkBox(NotReadyMsg, Dialogs::Icon::None);
    button->setEnabled(true);
    button->setFocus();
    main_.Tab1->setEnabled(true);
    return false;
}

// --- Reset -----------------------------------------------------------------------------------

void Panel::ResetSupply() {
    main_.Tab1->setEnabled(false);
    main_.Timer1->stop();
    Picture0->setFocus();
    Command4[1]->setEnabled(false);
    IndicatorsOff();

    MeasVolt = MeasCurr = -1;
    if (!comm1_.PortOpen())
        comm1_.setPortOpen(true);
    Connection::ProbeLimits(comm1_, clock_); // the reset goes on whatever the answer

    for (int i : {0, 1}) {
        Label5[i]->clear();
        Label5[i]->hide();
    }
    Command4[0]->setEnabled(false);
    Command4[1]->setEnabled(false);

    ResetCount = -1;
    CurCmd = QStringLiteral("SRST");
    try {
        comm1_.ClearInBuffer();
        main_.Timer1->setInterval(1);
        main_.Timer1->start();
        SendOnly(comm1_, Protocol::Line("SRST"), false, false);
    } catch (const CommError &) {
        // No countdown for a reset that never went out: the port is lost, as under any exchange.
        CurCmd = QStringLiteral("GETD");
        main_.Timer1->stop();
        main_.Timer1->setInterval(PollInterval);
        for (int i : {0, 1})
            Label5[i]->show();
        CheckSetpoints();
        throw;
    }
    main_.setEnabled(false);
}

void Panel::ResetCountdown() {
    if (ResetCount < 10) {
        MeasVolt = MeasCurr = -1;
        if (ResetCount == -1) {
            ResetStartMs = clock_.MonotonicMs();
            ResetCount = 0;
            Label5[4]->show();
            Label5[5]->show();
        }
        const QString n = StrSigned(ResetCount);
        const QString text = n + u'.' + n + u'.' + n + u'.';
        Label5[4]->setText(text);
        Label5[5]->setText(text);
        if (clock_.MonotonicMs() > ResetStartMs + ResetCount * 1000LL + 1000)
            ++ResetCount;
        else
            main_.Timer1->setInterval(50);
    }
    if (ResetCount < 10)
        return;

    main_.setEnabled(true);
    // Readouts back in front; the overlays are hidden rather than left behind them.
    for (int i : {0, 1})
        Label5[i]->show();
    Label5[4]->hide();
    Label5[5]->hide();
    CurCmd = QStringLiteral("GETD");
    main_.Timer1->setInterval(PollInterval);
    // The boxes keep what the operator set: in C.C. the measured voltage is not the set one.
    try {
        if (!comm1_.PortOpen())
            comm1_.setPortOpen(true);
        main_.PollOutputState();
    } catch (const CommError &e) {
        std::fprintf(stderr, "qvr: %s\n", e.what()); // seen below as no answer
    }
    if (MeasVolt == -1 && MeasCurr == -1)
        main_.LinkDown();
    main_.Tab1->setEnabled(true);
    Command4[1]->setEnabled(true);
    Command4[2]->setEnabled(true);
    CheckSetpoints(); // against the limits read at the start of the reset
    main_.Timer2->start();
    main_.RestartLiveLogging();
    ShowStatus();
}

// --- Options ---------------------------------------------------------------------------------

void Panel::ShowOptions() {
    // The dialog is a child window of this one: disable the content, not the window itself.
    main_.centralWidget()->setEnabled(false);
    {
        PropertiesFrm dialog(comm1_, dialogs_, clock_, &main_);
        connect(&dialog, &PropertiesFrm::liveChartChanged, &main_, &TabbedFrm::LiveChartFrame);
        connect(&dialog, &PropertiesFrm::samplingChanged, &main_, &TabbedFrm::SamplingChanged);
        dialog.ChkReconnect->setChecked(main_.AutoReconnect());
        dialog.ChkRemote->setChecked(main_.remote != nullptr);
        dialog.SpnRemotePort->setValue(main_.RemotePort());
        dialog.ChkMetrics->setChecked(main_.metrics != nullptr);
        dialog.EdtMetricsAddress->setText(main_.MetricsAddress());
        dialog.SpnMetricsPort->setValue(main_.MetricsPort());
        dialog.EdtBenchName->setText(main_.BenchName());
        if (dialog.exec() == QDialog::Accepted) {
            if (dialog.ChkReconnect->isChecked() != main_.AutoReconnect())
                main_.SetAutoReconnect(dialog.ChkReconnect->isChecked());
            const bool remote = dialog.ChkRemote->isChecked();
            const auto port = quint16(dialog.SpnRemotePort->value());
            if (remote != (main_.remote != nullptr) || port != main_.RemotePort())
                if (const QString why = main_.SetRemote(remote, port, true); !why.isEmpty())
                    dialogs_.MsgBox(why, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
            if (dialog.EdtBenchName->text().trimmed() != main_.BenchName())
                main_.SetBenchName(dialog.EdtBenchName->text(), true);
            const bool publish = dialog.ChkMetrics->isChecked();
            const QString address = dialog.EdtMetricsAddress->text().trimmed();
            const auto metricsPort = quint16(dialog.SpnMetricsPort->value());
            if (publish != (main_.metrics != nullptr) || address != main_.MetricsAddress() ||
                metricsPort != main_.MetricsPort())
                if (const QString why = main_.SetMetrics(publish, address, metricsPort, true);
                    !why.isEmpty())
                    dialogs_.MsgBox(why, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
            // Beside "CommPort", whose record and fields stay as they are.
            try {
                for (auto it = dialog.NewAssignments.cbegin(); it != dialog.NewAssignments.cend();
                     ++it)
                    SettingsTable::RememberRecord(main_.db(), PortDevices::RecordName(it.key()),
                                                  it.value());
            } catch (const StoreError &e) {
                dialogs_.MsgBox(e.description());
            }
        }
    }
    if (main_.Unloaded())
        return; // a signal closed the dialog and the program
    main_.centralWidget()->setEnabled(true);
    main_.activateWindow();
    main_.Form_Activate();
}

void Panel::ClearReadouts() {
    for (int i : {0, 1, 4, 5})
        Label5[i]->clear();
    Label5[4]->hide();
    Label5[5]->hide();
    IndicatorsOff();
}

void Panel::ShowStatus() {
    Picture0->setText(
        QStringLiteral("Port %1\n%2")
            .arg(comm1_.CommPort())
            .arg(Connected ? QStringLiteral("connected") : QStringLiteral("not connected")));
}
