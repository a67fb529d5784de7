// Polling, the reset countdown, the setpoint boxes and the options dialog.
#include "CounterBox.h"
#include "DataLogPage.h"
#include "Module1.h"
#include "Panel.h"
#include "PortDevices.h"
#include "PortSettings.h"
#include "ProgramPages.h"
#include "PropertiesFrm.h"
#include "SampleStore.h"
#include "Tables.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Module1;

class TestPanel : public QObject {
    Q_OBJECT

    static QColor colour(QWidget *w) { return Panel::TextColor(w); }

private slots:
    void pollingShowsOutputAndMode() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        const auto shown = [&] { // the readouts, and the indicators lit
            const auto lit = [&](int i) { return colour(w.panel->Label5[i]) != Panel::DarkGrey; };
            return w.panel->Label5[0]->text() + ' ' + w.panel->Label5[1]->text() +
                   (lit(2) ? " C.C." : "") + (lit(3) ? " C.V." : "");
        };
        f.supply.Receive("VOLT300\rCURR100\r", 0); // 30 V into 10 ohm wants 3 A: limited at 1 A
        w.Timer1_Timer();
        QVERIFY(shown() == "10.0 1.00 C.C." && colour(w.panel->Label5[2]) == Panel::Red);
        QCOMPARE(LastReply, QString("1"));
        // 11 characters: readouts follow, indicators stay.
        f.supply.Receive("CURR300\r", 0);
        f.supply.faults.cutChars = 3;
        w.Timer1_Timer();
        QCOMPARE(shown(), QString("30.0 3.00 C.C."));
        // Garbage: readouts read 0, the mode character is unknown, indicators stay.
        f.supply.faults = {};
        f.supply.faults.garbage = true;
        w.Timer1_Timer();
        QCOMPARE(shown(), QString("00.0 0.00 C.C."));
        f.supply.faults = {};
        w.Timer1_Timer();
        QVERIFY(shown() == "30.0 3.00 C.V." && colour(w.panel->Label5[3]) == Panel::Yellow);
        QVERIFY(f.dialogs.allShown());
        // The counters' label holds a week at the largest limits (168 h, 1678 Ah, 167 kWh).
        QLabel *figures = w.panel->Counters->Figures;
        for (const QString &line :
             CounterBox::FiguresText(1678.32, 167664, 604800, 604800).split('\n'))
            QVERIFY2(figures->fontMetrics().horizontalAdvance(line) <=
                         figures->contentsRect().width(),
                     qPrintable(line));
    }

    // The title forms on a page change, and the live indicator.
    void titleAndLiveIndicator() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        w.Tab1->setCurrentIndex(3);
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [Data Log]"));
        QVERIFY(w.Timer2->isActive());
        w.externalPage->Combo1[0]->setEditText("ramp");
        w.externalPage->Command1[0]->setText("Stop");
        w.Tab1->setCurrentIndex(0);
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [User Table (ramp) Running]"));
        w.internalPage->Command0[0]->setText("Stop");
        w.Tab1->setCurrentIndex(2);
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [Program Table Running]"));

        QLabel *light = w.dataLogPage->Light1;
        w.Timer2_Timer();
        const bool first = light->isHidden();
        w.Timer2_Timer();
        QCOMPARE(light->isHidden(), !first); // blinks while "Now"
        w.dataLogPage->Option3[1]->setEnabled(true);
        w.dataLogPage->Option3[1]->setChecked(true);
        w.Timer2_Timer();
        w.Timer2_Timer();
        QVERIFY(!light->isHidden()); // steady on "Log"
        Connected = false;
        w.Timer2_Timer();
        QVERIFY(light->isHidden());
    }

    // A supply that stays silent after its reset is in test_faults.
    void resetCountsDownAndReconnects() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        f.port.sent.clear();
        w.panel->Command4_Click(1);
        QCOMPARE(f.port.sent, QByteArray("GMAX\rSRST\r"));
        QCOMPARE(CurCmd, QString("SRST"));
        QVERIFY(!w.isEnabled());
        QVERIFY(!w.panel->Command4[0]->isEnabled() && !w.panel->Command4[1]->isEnabled());

        QStringList shown;
        for (int tick = 0; tick < 400 && CurCmd == "SRST"; ++tick) {
            w.Timer1_Timer();
            const QString text = w.panel->Label5[4]->text();
            QCOMPARE(w.panel->Label5[5]->text(), text);
            if (CurCmd != "SRST")
                break;
            if (shown.isEmpty() || shown.last() != text)
                shown << text;
            f.clock.advance(w.Timer1->interval());
        }
        QStringList expected;
        for (int n = 0; n <= 9; ++n)
            expected << QString(" %1. %1. %1.").arg(n);
        QCOMPARE(shown, expected);
        QVERIFY(w.isEnabled());
        QVERIFY(w.panel->Label5[4]->isHidden() && !w.panel->Label5[0]->isHidden());
        QVERIFY2(f.clock.MonotonicMs() >= 10000 && f.clock.MonotonicMs() < 10300,
                 qPrintable(QString::number(f.clock.MonotonicMs())));
        QVERIFY(Connected && w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), 300);
        QVERIFY(w.panel->Command4[1]->isEnabled() && w.panel->Command4[2]->isEnabled());
        QVERIFY(f.port.sent.endsWith("SRST\rGETD\r"));

        // The port gone after GMAX: a reset that never went out ends as a lost port does.
        f.supply.faults.unplugAfter = 1;
        f.dialogs.expectMsg("Serial port lost (port 1, sim1)", Dialogs::Answer::Ok,
                            Dialogs::Icon::Exclamation);
        w.panel->Command4_Click(1);
        QVERIFY(CurCmd != "SRST" && w.isEnabled() && w.panel->Label5[0]->isVisibleTo(w.panel));
        QVERIFY(!Connected && f.dialogs.allShown());
    }

    // The boxes take the measured output only when the program has no setpoints of its own: in
    // C.C. the measured voltage is not the set one, and a -1 reading is no setpoint at all.
    // "Set" follows the boxes whoever writes them, and the limits a reset reads again.
    void boxesAndSetFollowTheConnection() {
        WindowFixture f;
        f.supply.Receive("VOLT080\rCURR040\r", 0); // 8 V, 0.4 A into 10 ohm: C.C. at 4 V
        f.supply.faults.scope = "GETD";
        f.supply.faults.answerFrom = 2; // GMAX answered, the first GETD not
        TabbedFrm &w = f.startConnected();
        QLineEdit *volt = w.panel->Text2[0], *curr = w.panel->Text2[1];
        QPushButton *set = w.panel->Command4[0];
        QVERIFY(volt->text().isEmpty() && curr->text().isEmpty() && !set->isEnabled());
        w.Timer1_Timer(); // the first reading fills them
        QCOMPARE(volt->text() + curr->text(), QString("04.0V0.40A"));
        QVERIFY(set->isEnabled());

        volt->setText("08.0V");
        w.panel->Text2_KeyUp(0);
        w.Timer1_Timer();
        w.Form_Activate(); // as after "Options" cancelled
        QCOMPARE(volt->text(), QString("08.0V"));
        f.port.sent.clear();
        w.panel->Text2_Enter(1);
        QCOMPARE(f.port.sent, QByteArray("VOLT080\rCURR040\r"));

        // A reset with a smaller supply behind it: the boxes keep what the operator set (not
        // the reset output), and a current valid before is not any more.
        const auto reset = [&] {
            w.panel->Command4_Click(1);
            while (CurCmd == "SRST") {
                f.clock.advance(w.Timer1->interval());
                w.Timer1_Timer();
            }
        };
        f.supply.maxCurr = 1.5f;
        reset();
        QCOMPARE(volt->text() + curr->text(), QString("08.0V0.40A"));
        curr->setText("2");
        QVERIFY(!set->isEnabled());
        curr->setText("1");
        QVERIFY(set->isEnabled());
        // A reset, then a reconnect, that nobody answers keep the limits last known.
        f.supply.faults = {};
        f.supply.faults.silent = true;
        reset();
        f.dialogs.expectMsg(NotReadyMsg);
        reset();
        QVERIFY(!Connected && MaxVolt == 30 && MaxCurr == 1.5f && set->isEnabled());
        // While a program holds the boxes, "Set" keeps the state the run gave it.
        set->setEnabled(false);
        volt->setEnabled(false);
        curr->setText("1.1");
        QVERIFY(!set->isEnabled());
        QVERIFY(f.dialogs.allShown());
    }

    void optionsDialog() {
        WindowFixture f;
        f.make();
        f.port.setSettings("9600,n,8,1.5");
        f.port.setHandshaking(2);
        PropertiesFrm d(f.port, f.dialogs, f.clock);
        const auto boxes = [&d] {
            return QStringList{d.CboSpeed->currentText(),    d.CboParity->currentText(),
                               d.CboDataBits->currentText(), d.CboStopBits->currentText(),
                               d.CboAS->currentText(),       d.CboPort->currentText()}
                .join(u' ');
        };
        QCOMPARE(boxes(), QString("9600 None 8 1.5 2s Com1"));
        QVERIFY(d.OptFlow[2]->isChecked() && d.OptEcho[0]->isChecked() && d.CboPort->isEnabled());
        QCOMPARE(d.CboPort->itemText(15), QString("Com16"));
#ifdef Q_OS_WIN
        // Settings Windows would refuse: said by the dialog, which stays open to mend them.
        d.show();
        f.dialogs.expectMsg("The port cannot use 1.5 stop bits with 8 data bits: Windows allows "
                            "1.5 stop bits with 5 data bits only.",
                            Dialogs::Answer::Ok, Dialogs::Icon::Exclamation);
        QTest::mouseClick(d.CmdOK, Qt::LeftButton);
        QVERIFY(d.isVisible() && f.dialogs.allShown());
        QCOMPARE(f.port.Settings(), QString("9600,n,8,1.5"));
        QVERIFY((PortSettings{9600, 'N', 5, "1.5"}.refusal().isEmpty()));
        QVERIFY((!PortSettings{9600, 'N', 5, "2"}.refusal().isEmpty()));
#endif

        // No keeps the interval but the port settings still apply.
        d.CboAS->setCurrentText("0.5s");
        d.CboSpeed->setCurrentText("19200");
        d.CboStopBits->setCurrentText("2");
        d.OptFlow[1]->setChecked(true);
        f.dialogs.expectMsg("Are you really doing it ?", Dialogs::Answer::No);
        d.CmdOK_Click();
        QCOMPARE(SampleMs, qint64(2000));
        QCOMPARE(f.port.Settings(), QString("19200,N,8,2"));
        QCOMPARE(f.port.Handshaking(), 1);

        LiveStore.at(1, 1) = 12;
        LogCount = 7;
        f.clock.setMonotonicMs(4250);
        QSignalSpy restarted(&d, &PropertiesFrm::samplingChanged);
        d.LoadPropertySettings();
        d.CboAS->setCurrentText("0.5s");
        f.dialogs.expectMsg("Are you really doing it ?", Dialogs::Answer::Yes);
        d.CmdOK_Click();
        QVERIFY(SampleMs == 500 && LiveStore.at(1, 1) == -1.0f && LogCount == 0);
        QVERIFY(LogStartMs == 4250 && restarted.count() == 1);
        f.window->dataLogPage->Cursors.Click(3);
        f.window->SamplingChanged(); // the new period at once; the cursor's sample is gone
        QVERIFY(f.window->dataLogPage->PVCPicTimer->isActive() &&
                !f.window->dataLogPage->Cursors.a);
        QCOMPARE(f.window->dataLogPage->PVCPicTimer->interval(), 500);

        // Defaults: nothing applied until OK.
        d.LoadPropertySettings();
        d.SSTab1->setCurrentIndex(1);
        d.CmdDefault_Click();
        QCOMPARE(boxes(), QString("9600 None 8 1 0.5s Com1"));
        QVERIFY(d.OptFlow[0]->isChecked());
        QCOMPARE(f.port.Settings(), QString("19200,N,8,2"));
        QVERIFY(f.dialogs.allShown());
    }

    void optionsLockThePortWhileConnected() {
        WindowFixture f;
        RememberPortIn(f.dir.path(), 20); // beyond the list's "Com16"
        f.port.existingPorts << 20;
        f.port.supplyPort = 20;
        f.make().Form_Load();
        PropertiesFrm d(f.port, f.dialogs, f.clock);
        QCOMPARE(d.CboPort->currentIndex(), -1);
        QVERIFY(!d.CboPort->isEnabled() && !d.CboSpeed->isEnabled() &&
                !d.OptFlow[0]->parentWidget()->isEnabled());
        QVERIFY(d.CboAS->isEnabled());
        d.SSTab1->setCurrentIndex(1);
        QVERIFY(!d.CmdDefault->isEnabled());
        d.SSTab1->setCurrentIndex(0);
        QVERIFY(d.CmdDefault->isEnabled());
        d.CmdOK_Click();
        QVERIFY(f.port.CommPort() == 20 && f.port.PortOpen() && Connected);
    }

    // Not connected, the port page is open: "Device:" shows and assigns what each port number
    // reaches, remembered beside "CommPort"; a port that cannot be opened leaves the window
    // usable.
    void optionsDevicesAndAPortError() {
        WindowFixture f;
        RememberPortIn(f.dir.path(), 1);
        const QString here = f.dir.filePath("ttyACM7"), gone = f.dir.filePath("gone");
        QFile(here).open(QIODevice::WriteOnly);
        {
            Database db;
            db.Open(f.dbPath());
            SettingsTable::RememberRecord(db, "ComDevice3", here);
            SettingsTable::RememberRecord(db, "ComDevice4", gone);
        }
        f.supply.faults.silent = true;
        TabbedFrm &w = f.make();
        f.expectFirstRunPrompts();
        QVERIFY(w.Form_Load());
        w.show();
        QVERIFY(f.port.PortOpen());
        qunsetenv("QVR_COM4");
        f.dialogs.expectMsg("Cannot open serial port (port 9, sim9): No such file or directory",
                            Dialogs::Answer::Ok, Dialogs::Icon::Exclamation);
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<PropertiesFrm *>(QApplication::activeModalWidget());
            QVERIFY(d && !w.centralWidget()->isEnabled());
            const auto row = [&](int port) {
                d->CboPort->setCurrentIndex(port - 1);
                seen << d->CboDevice->currentText() + " | " + d->LblDevice->text();
            };
            row(3);
            row(4);
            d->CboDevice->setCurrentIndex(0);
            emit d->CboDevice->activated(0); // "None": the port number's own device
            seen << d->LblDevice->text();
            d->CboPort->setCurrentIndex(0);
            d->CmdOK->click();
        });
        w.panel->Command4_Click(2);
        QCOMPARE(SettingsTable::ReadRecord(w.db(), "ComDevice4"), std::optional<QString>(""));
        QVERIFY(!PortDevices::Assigned(4) && PortDevices::Assigned(3) == here);
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<PropertiesFrm *>(QApplication::activeModalWidget());
            d->CboPort->setCurrentIndex(3);
            d->CboDevice->setCurrentIndex(d->CboDevice->findData(here));
            emit d->CboDevice->activated(d->CboDevice->currentIndex());
            d->CboPort->setCurrentIndex(8); // Com9 does not exist
            d->CmdOK->click();
        });
        w.panel->Command4_Click(2);
        QCOMPARE(seen, QStringList({here + " | Com3 reaches " + here + " (assigned in Options)",
                                    gone + " (not present) | Com4 reaches " + gone +
                                        " (assigned in Options)",
                                    "Com4 reaches " + DevicePathFor(4) + " (after OK)"}));
        QVERIFY(f.dialogs.allShown());
        QVERIFY(f.port.CommPort() == 1 && !f.port.PortOpen());
        QVERIFY(w.isEnabled() && w.centralWidget()->isEnabled());
        // Refused as a whole: the new assignment is neither in force nor stored.
        QCOMPARE(SettingsTable::ReadRecord(w.db(), "ComDevice4"), std::optional<QString>(""));
        QVERIFY(!PortDevices::Assigned(4));
    }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
