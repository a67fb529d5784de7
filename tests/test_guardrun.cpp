// Guards carried out by the window on the real port over a pseudo-terminal, against the
// simulated supply's changing loads: the bytes on the wire and their order for each kind of
// program running when one acts, a restart with guards armed, a port lost under the "no
// reading" guard, and a script that arms them and waits.
#include "DataLogPage.h"
#include "GuardsDialog.h"
#include "Module1.h"
#include "Panel.h"
#include "ProgramPages.h"
#include "RemoteServer.h"
#include "SerialComm1.h"
#include "SimProcess.h"
#include "Tables.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTest>
#include <memory>

using namespace Module1;

namespace {

// A supply behind a stable path, as udev names an adapter, and one window at a time on it.
struct Bench {
    QTemporaryDir dir;
    QString path = dir.filePath("ttyQVR"), log = dir.filePath("rx.log");
    std::unique_ptr<SimProcess> sim;
    SerialComm1 port;
    ScriptedDialogs dialogs;
    std::unique_ptr<TabbedFrm> w;
    Bench() {
        qputenv("QVR_COM1", QFile::encodeName(path));
        RememberPortIn(dir.path(), 1);
        dialogs.answerAll = Dialogs::Answer::Ok;
    }
    bool plugIn(const QStringList &args) {
        sim = std::make_unique<SimProcess>(QStringList{"--log", log} + args);
        QFile::remove(path);
        return sim->started() && QFile::link(sim->device(), path);
    }
    TabbedFrm &open() {
        w.reset();
        ResetSharedState();
        w = std::make_unique<TabbedFrm>(port, dialogs, SystemClock::instance(),
                                        dir.filePath(Database::FileName));
        w->show();
        return *w;
    }
    QByteArray wire() const { return ReadFile(log); }
};

// Through the dialog as the operator does it: tick condition `c`, type its hold, click Arm.
void ArmByHand(TabbedFrm &w, Guards::Condition c, const QString &hold, bool stopRec = false) {
    QTest::mouseClick(w.panel->GuardsButton, Qt::LeftButton);
    GuardsDialog *d = w.guardsDialog;
    QVERIFY(d && d->isVisible());
    QTest::mouseClick(d->On[c], Qt::LeftButton, {}, QPoint(8, d->On[c]->height() / 2));
    d->Hold[c]->selectAll();
    QTest::keyClicks(d->Hold[c], hold);
    QTest::keyClick(d->Hold[c], Qt::Key_Tab);
    if (stopRec)
        QTest::mouseClick(d->StopRecording, Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseClick(d->ArmButton, Qt::LeftButton);
}

QString GuardRecord(Database &db) {
    return SettingsTable::ReadRecord(db, Guards::MainRecord).value_or("none");
}

} // namespace

class GuardRun : public QObject {
    Q_OBJECT
private slots:
    // 5.0 V 1.00 A into 10 ohm is 0.5 A in C.V.; into the 2 ohm that follows, C.C.: the trip.
    void actsOnEachProgram_data() {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QByteArray>("started"); // what began the run on the wire
        QTest::newRow("panel Set") << "none" << QByteArray("VOLT050\rCURR100\r");
        QTest::newRow("internal") << "internal" << QByteArray("RUNP0\r");
        QTest::newRow("external") << "external" << QByteArray("VOLT050\rCURR100\r");
        QTest::newRow("preset") << "preset" << QByteArray("PROM1050100\rRUNM1\r");
    }
    void actsOnEachProgram() {
        QFETCH(QString, running);
        QFETCH(QByteArray, started);
        Bench b;
        QVERIFY(b.plugIn({"--load", "10,2@4s"}));
        TabbedFrm &w = b.open();
        QVERIFY(w.Form_Load());
        w.Form_Activate();
        ArmByHand(w, Guards::ConstantCurrent, "0.5", running == "internal");
        QVERIFY2(w.supply.Guard().StateWord() == "ARMED", qPrintable(b.dialogs.takeTexts().join("|")));
        QVERIFY2(w.panel->GuardLine->text().startsWith("Guards armed: C.C. for 0.5 s"), qPrintable(w.panel->GuardLine->text()));
        w.guardsDialog->CloseButton->click();
        const QString csv = b.dir.filePath("run.csv");
        if (running == "internal") {
            for (int r = 1; r <= 10; ++r)
                w.internalPage->FGrid->SetDataRow(r, {QString::number(r), "05.0", "1.00", "10", "00"});
            w.internalPage->Command0_Click(0);
            QVERIFY(w.internalPage->Running());
            QVERIFY(w.dataLogPage->StartRecording(csv)); // to end with the run, as ticked

        } else if (running == "external") {
            for (int r = 1; r <= 3; ++r)
                w.externalPage->FGrid->SetDataRow(r, {QString::number(r), "05.0", "1.00", "10", "00"});
            w.externalPage->Combo1[1]->setEditText("1");
            w.externalPage->Command1_Click(0);
            QVERIFY(w.externalPage->Running());
        } else if (running == "preset") {
            w.presetPage->FGrid->SetDataRow(1, {"", " 1", "05.0", "1.00"});
            w.presetPage->FGrid->SetOption(1, true);
            w.presetPage->Command2_Click(0);
        } else {
            w.activateWindow(); // back from the dialog
            QVERIFY(QTest::qWaitForWindowActive(&w));
            for (const int box : {0, 1}) { // the click selects the box's text, then typing
                QTest::mouseClick(w.panel->Text2[box], Qt::LeftButton);
                QTest::qWait(1);
                QTest::keyClicks(w.panel->Text2[box], box == 0 ? "5" : "1");
            }
            QTest::mouseClick(w.panel->Command4[0], Qt::LeftButton);
        }
        QTRY_VERIFY2_WITH_TIMEOUT(b.wire().contains(started), b.wire().right(80), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(w.supply.Guard().StateWord(), QString("TRIPPED CC"), 8000);
        const QByteArray wire = b.wire();
        const qsizetype safe = wire.indexOf("VOLT000\rCURR001\r");
        QVERIFY2(safe > wire.indexOf(started), wire.right(120).constData());
        QCOMPARE(wire.count("VOLT000\rCURR001\r"), 1);
        if (running == "internal") // the program's STOP first, then the safe output
            QVERIFY2(wire.mid(safe - 5, 5) == "STOP\r", wire.right(60).constData());
        else // nothing but polls between the reading that tripped and the safe output
            QVERIFY2(wire.mid(safe - 5, 5) == "GETD\r", wire.right(60).constData());
        QVERIFY(!w.internalPage->Running() && !w.externalPage->Running());
        QCOMPARE(w.windowTitle(),
                 TabbedFrm::NormalTitle(TabbedFrm::PageCaptions[w.Tab1->currentIndex()]));
        QTest::qWait(1200); // the external stepping has ended: polls only from here
        QVERIFY(!b.wire().mid(safe + 16).replace("GETD\r", "").size());
        // Said without holding anything up.
        const QString words = w.statusBar()->currentMessage();
        QVERIFY2(words.startsWith("Tripped: C.C. for "), qPrintable(words));
        QCOMPARE(w.panel->GuardLine->text(), words);
        QVERIFY(w.GuardBox && w.GuardBox->isVisible() && !QApplication::activeModalWidget());
        QVERIFY(w.GuardBox->text().startsWith(words + "\n\n"));
        QVERIFY(GuardRecord(w.db()).startsWith("armed=0;"));
        QVERIFY(w.panel->Text2[0]->text() == "00.0V" && w.panel->Text2[1]->text() == "0.01A");
        if (running == "internal") {
            QVERIFY(w.GuardBox->text().contains("The internal program was stopped."));
            QVERIFY(!w.dataLogPage->Rec.Active());
            const QByteArray rec = ReadFile(csv);
            QVERIFY2(rec.indexOf("guard: Set 0.0 V 0.01 A") < rec.indexOf("Tripped: C.C. for"),
                     rec.right(300).constData());
        }
        QVERIFY(b.dialogs.takeTexts().isEmpty()); // no modal box on the way
    }

    // Armed guards watch again after a restart, and the window says so before the polling; a
    // record that is not one arms nothing.
    void restartWithGuardsArmed() {
        Bench b;
        QVERIFY(b.plugIn({}));
        {
            TabbedFrm &w = b.open();
            QVERIFY(w.Form_Load());
            w.Form_Activate();
            QTest::mouseClick(w.panel->GuardsButton, Qt::LeftButton);
            QTest::mouseClick(w.guardsDialog->ArmButton, Qt::LeftButton); // nothing ticked yet
            QCOMPARE(b.dialogs.takeTexts(),
                     QStringList{"No guard is ticked: there is nothing to watch."});
            ArmByHand(w, Guards::NoReading, "30");
            QTRY_VERIFY(GuardRecord(w.db()).startsWith("armed=1;")); // after the act, not before
            w.close();
        }
        TabbedFrm &w = b.open();
        QVERIFY(w.Form_Load());
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(w.supply.Guard().StateWord(), QString("ARMED"));
        QVERIFY(w.GuardBox && w.GuardBox->isVisible());
        QCOMPARE(w.GuardBox->text(), QString("Guards were armed when QVR last ran, and watch again "
                                             "from now: no reading for 30 s. Time, charge and energy "
                                             "count from now."));
        QVERIFY(b.dialogs.takeTexts().isEmpty());
        w.Form_Activate();
        QVERIFY(w.GuardTimer->isActive());
        SettingsTable::RememberRecord(w.db(), "Guard NREAD", "on,x,30");
        w.close();
        TabbedFrm &again = b.open();
        QVERIFY(again.Form_Load());
        QCOMPARE(again.supply.Guard().StateWord(), QString("OFF"));
        QVERIFY(!again.GuardBox);
    }

    // The port goes; the "no reading" guard holds meanwhile and acts on the supply that answers.
    void noReadingWhenPortLost() {
        Bench b;
        QVERIFY(b.plugIn({}));
        TabbedFrm &w = b.open();
        QVERIFY(w.Form_Load());
        w.Form_Activate();
        w.SetAutoReconnect(true);
        ArmByHand(w, Guards::NoReading, "1");
        b.sim.reset(); // pulled
        QTRY_VERIFY_WITH_TIMEOUT(!Connected, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(w.supply.Guard().Pending(), 3000);
        QVERIFY2(w.panel->GuardLine->text().startsWith("Tripped: no reading for ") &&
                     w.panel->GuardLine->text().endsWith(": acts when the supply answers"),
                 qPrintable(w.panel->GuardLine->text()));
        QCOMPARE(w.supply.Guard().StateWord(), QString("ARMED"));
        QFile::remove(b.log);
        QVERIFY(b.plugIn({})); // plugged back in
        QTRY_COMPARE_WITH_TIMEOUT(w.supply.Guard().StateWord(), QString("TRIPPED NREAD"), 8000);
        QTRY_VERIFY(b.wire().contains("VOLT000\rCURR001\r"));
        QVERIFY(b.wire().indexOf("GETD\r") < b.wire().indexOf("VOLT000\r"));
    }

    // The port fails under the act itself: the safe output goes to the supply that answers next.
    void portLostUnderTheAct() {
        Bench b;
        QVERIFY(b.plugIn({"--load", "10,2@3s", "--faults-later", "--only", "VOLT", "--unplug-at",
                          "1"}));
        TabbedFrm &w = b.open();
        QVERIFY(w.Form_Load());
        w.Form_Activate();
        w.SetAutoReconnect(true);
        QVERIFY(w.supply.SetVoltage(5).ok() && w.supply.SetCurrent(1).ok());
        ArmByHand(w, Guards::ConstantCurrent, "0.3");
        QVERIFY(b.sim->setFaults(true)); // the next VOLT line takes the port with it
        QTRY_VERIFY2_WITH_TIMEOUT(w.supply.Guard().StateWord() == "TRIPPED CC",
                                  b.wire().right(100).replace('\r', '|').constData(), 8000);
        QTRY_VERIFY(!Connected);
        QVERIFY2(w.GuardBox->text().endsWith("QVR sets it as soon as the supply answers again."),
                 qPrintable(w.GuardBox->text()));
        QFile::remove(b.log);
        QVERIFY(b.plugIn({}));
        QTRY_VERIFY_WITH_TIMEOUT(b.wire().contains("VOLT000\rCURR001\r"), 8000);
        QVERIFY(b.wire().startsWith("GMAX\r") && b.wire().indexOf("GETD") < b.wire().indexOf("VOLT000"));
        QVERIFY2(w.GuardBox->text().endsWith("The supply answers again. The output was set to 0.0 V "
                                             "and 0.01 A."),
                 qPrintable(w.GuardBox->text()));
        QTest::qWait(700);
        QCOMPARE(b.wire().count("VOLT000"), 1);
    }

    // A script arms a "done" guard and waits on the status byte; the rules it meets on the way.
    void scriptArmsAndWaits() {
        Bench b;
        QVERIFY(b.plugIn({"--load", "10,40@3s"})); // 0.5 A, then 0.125 A: the job's end
        TabbedFrm &w = b.open();
        QVERIFY(w.Form_Load());
        w.Form_Activate();
        QVERIFY(w.SetRemote(true, 0, false).isEmpty());
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, w.remote->Port());
        QVERIFY(s.waitForConnected(3000));
        const auto ask = [&](const QByteArray &line) {
            s.write(line + "\n");
            QByteArray got;
            for (QDeadlineTimer until(3000); !got.endsWith('\n') && !until.hasExpired();)
                QTest::qWait(5), got += s.readAll(); // the server shares this thread
            return got.trimmed();
        };
        QCOMPARE(ask("GUAR:CURR:HIGH 9,1;:GUAR:ARM;:SYST:ERR?;:GUAR:STAT?"),
                 QByteArray("-221,\"Settings conflict; Current above 9.00 A can never happen: "
                            "the supply gives 3.00 A at most.\";OFF"));
        QCOMPARE(ask("GUAR:CURR:HIGH OFF;:VOLT 5;CURR 1;:GUAR:CURR:LOW 0.3,0.5;:GUAR:SAFE 1,0.05;"
                     ":GUAR:CURR:LOW?;:GUAR:SAFE?;:STAT:OPER:ENAB 2048;*SRE 128;:GUAR:ARM;"
                     ":GUAR:STAT?"),
                 QByteArray("0.3,0.5;1.0,0.05;ARMED"));
        QCOMPARE(ask("GUAR:CURR:LOW 1,1;:SYST:ERR?"),
                 QByteArray("-221,\"Settings conflict; the guards are armed: disarm them first\""));
        QByteArray state;
        for (int i = 0; i < 60 && state != "DONE CURR:LOW"; ++i, QTest::qWait(100))
            state = ask("GUAR:STAT?");
        QCOMPARE(state, QByteArray("DONE CURR:LOW"));
        QVERIFY(b.wire().contains("VOLT010\rCURR005\r"));
        QCOMPARE(ask("*STB?;:STAT:OPER?;:STAT:QUES?").split(';').value(0).toInt() & 128, 128);
        const QByteArray message = ask("GUAR:MESS?");
        QVERIFY2(message.startsWith("\"Done: current 0.1") &&
                     message.contains(" below 0.300 A in C.V. for "),
                 message.constData());
        QCOMPARE(ask("GUAR:DIS;:GUAR:STAT?"), QByteArray("OFF"));
    }
};

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    GuardRun t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_guardrun.moc"
