// The panel's handlers: "Set" with the setpoint boxes, "Reset" (reconnect or supply reset with
// its countdown) and "Options".
#include "TabbedFrm.h"

#include "Clock.h"
#include "Connection.h"
#include "DataLogPage.h"
#include "Dialogs.h"
#include "Exchange.h"
#include "Module1.h"
#include "Panel.h"
#include "PropertiesFrm.h"
#include "Setpoints.h"

#include <QKeyEvent>
#include <QTimer>

using namespace Module1;

template <typename F> void TabbedFrm::Trapped(int index, F &&command) {
    try {
        command();
    } catch (const CommError &e) {
        setEnabled(true);
        panel->Command4[index]->setEnabled(true);
        Tab1->setEnabled(true);
        dialogs_.MsgBox(e.description());
    }
}

void TabbedFrm::Command4_Click(int index) {
    switch (index) {
    case 0:
        Trapped(0, [this] { SetOutput(); });
        break;
    case 1:
        Trapped(1, [this] {
            if (MeasVolt == -1 || !Connected)
                Reconnect();
            else
                ResetSupply();
        });
        break;
    case 2:
        ShowOptions();
        break;
    }
    ShowStatus();
    if (Connected)
        ChartDefaults();
}

// --- Setpoints -------------------------------------------------------------------------------

bool TabbedFrm::ColourSetpoints() {
    const bool valid = Setpoints::VoltValid(Setpoints::BoxValue(panel->Text2[0]->text())) &&
                       Setpoints::CurrValid(Setpoints::BoxValue(panel->Text2[1]->text()));
    for (QLineEdit *box : panel->Text2)
        Panel::SetTextColor(box, valid ? Panel::DarkGreen : QColor(Qt::black));
    return valid;
}

void TabbedFrm::Text2_GotFocus(int index) {
    ColourSetpoints();
    // After the click that gave the focus has placed the caret.
    QTimer::singleShot(0, panel->Text2[index], &QLineEdit::selectAll);
}

void TabbedFrm::Text2_KeyUp(int) {
    CheckSetpoints();
}

void TabbedFrm::CheckSetpoints() {
    const bool valid = ColourSetpoints();
    // While a running program holds the boxes, "Set" keeps the state the run gave it.
    if (panel->Text2[0]->isEnabledTo(panel))
        panel->Command4[0]->setEnabled(valid);
}

void TabbedFrm::Text2_Enter(int index) {
    QLineEdit *box = panel->Text2[index];
    // The Enter check reads the text as it stands: "12,5" is 12 here.
    const float value = Setpoints::BoxValue(box->text(), false);
    const bool valid = index == 0 ? Setpoints::VoltValid(value) : Setpoints::CurrValid(value);
    if (!valid) {
        setpointMessage_ = true;
        dialogs_.MsgBox(index == 0 ? Setpoints::VoltMessage(true) : Setpoints::CurrMessage(true));
        setpointMessage_ = false;
        box->setText(index == 0 ? QStringLiteral("00.0") : QStringLiteral("0.00"));
        box->selectAll();
        return;
    }
    if (index == 0)
        panel->Text2[1]->setFocus();
    else if (panel->Text2[0]->text().isEmpty())
        panel->Text2[0]->setFocus();
    else
        Command4_Click(0);
}

void TabbedFrm::Text2_LostFocus(int index) {
    QLineEdit *box = panel->Text2[index];
    const float value = Setpoints::BoxValue(box->text());
    if (index == 0) {
        if (Setpoints::VoltValid(value)) {
            box->setText(Format(value, QStringLiteral("00.0")) + u'V');
            return;
        }
        dialogs_.MsgBox(Setpoints::VoltMessage(false));
        box->setText(QStringLiteral("00.0V"));
    } else {
        if (Setpoints::CurrValid(value)) {
            box->setText(Format(value, QStringLiteral("0.00")) + u'A');
            return;
        }
        dialogs_.MsgBox(Setpoints::CurrMessage(false));
        box->setText(QStringLiteral("0.00A"));
    }
}

void TabbedFrm::SetOutput() {
    Timer1->stop();
    Setpoints::Send(comm1_, clock_, Setpoints::BoxValue(panel->Text2[0]->text()),
                    Setpoints::BoxValue(panel->Text2[1]->text()));
    CurCmd = QStringLiteral("GETD");
    Timer1->start();
    panel->Text2[0]->setFocus();
}

bool TabbedFrm::eventFilter(QObject *watched, QEvent *event) {
    for (int i = 0; i < 2; ++i) {
        if (watched != panel->Text2[i])
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
    return QMainWindow::eventFilter(watched, event);
}

// --- Reset -----------------------------------------------------------------------------------

void TabbedFrm::ResetSupply() {
    Tab1->setEnabled(false);
    Timer1->stop();
    panel->Picture0->setFocus();
    panel->Command4[1]->setEnabled(false);
    panel->IndicatorsOff();

    MeasVolt = MeasCurr = -1;
    MaxVolt = MaxCurr = 0;
    if (!comm1_.PortOpen())
        comm1_.setPortOpen(true);
    Connection::ProbeLimits(comm1_, clock_); // the reset goes on whatever the answer

    for (int i : {0, 1}) {
        panel->Label5[i]->clear();
        panel->Label5[i]->hide();
    }
    panel->Command4[0]->setEnabled(false);
    panel->Command4[1]->setEnabled(false);

    ResetCount = -1;
    CurCmd = QStringLiteral("SRST");
    comm1_.ClearInBuffer();
    Timer1->setInterval(1);
    Timer1->start();
    SendOnly(comm1_, Protocol::Line("SRST"), false, false);
    setEnabled(false);
}

void TabbedFrm::ResetCountdown() {
    if (ResetCount < 10) {
        MeasVolt = MeasCurr = -1;
        if (ResetCount == -1) {
            ResetStartMs = clock_.MonotonicMs();
            ResetCount = 0;
            panel->Label5[4]->show();
            panel->Label5[5]->show();
        }
        const QString n = StrSigned(ResetCount);
        const QString text = n + u'.' + n + u'.' + n + u'.';
        panel->Label5[4]->setText(text);
        panel->Label5[5]->setText(text);
        if (clock_.MonotonicMs() > ResetStartMs + ResetCount * 1000LL + 1000)
            ++ResetCount;
        else
            Timer1->setInterval(50);
    }
    if (ResetCount < 10)
        return;

    setEnabled(true);
    // Readouts back in front; the overlays are hidden rather than left behind them.
    for (int i : {0, 1})
        panel->Label5[i]->show();
    panel->Label5[4]->hide();
    panel->Label5[5]->hide();
    CurCmd = QStringLiteral("GETD");
    Timer1->setInterval(PollInterval);
    try {
        if (!comm1_.PortOpen())
            comm1_.setPortOpen(true);
        PollOutputState();
    } catch (const CommError &e) {
        std::fprintf(stderr, "qvr: %s\n", e.what()); // seen below as no answer
    }
    if (MeasVolt == -1 && MeasCurr == -1) {
        Connected = false;
        Timer1->stop();
        panel->Command4[1]->setEnabled(true);
    }
    Tab1->setEnabled(true);
    panel->Command4[1]->setEnabled(true);
    panel->Command4[2]->setEnabled(true);
    CheckSetpoints(); // against the limits read at the start of the reset
    Timer2->start();
    RestartLiveLogging();
    ShowStatus();
}

// --- Options ---------------------------------------------------------------------------------

void TabbedFrm::ShowOptions() {
    // The dialog is a child window of this one: disable the content, not the window itself.
    centralWidget()->setEnabled(false);
    {
        PropertiesFrm dialog(comm1_, dialogs_, clock_, this);
        connect(&dialog, &PropertiesFrm::liveChartChanged, this, &TabbedFrm::LiveChartFrame);
        dialog.exec();
    }
    if (unloaded_)
        return; // a signal closed the dialog and the program
    centralWidget()->setEnabled(true);
    activateWindow();
    Form_Activate();
}
