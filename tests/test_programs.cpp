// Running programs against the in-process supply: the internal program, the computer-stepped
// program on the manual clock, and the preset memories.
#include "GridEditor.h"
#include "Module1.h"
#include "Panel.h"
#include "WindowFixture.h"

#include <QStatusBar>
#include <QTest>

using namespace Module1;

namespace {
// Sets the timed rows of a grid: {volt, curr, minutes, seconds} from row 1 on.
void fill(ProgramGrid *g, const QList<QStringList> &steps) {
    for (int r = 1; r <= steps.size(); ++r)
        g->SetDataRow(r, QStringList{QString::number(r)} + steps[r - 1]);
}

// One step of the external page, both halves, as the event loop would run them.
void stepOnce(ExternalPage *p) {
    p->OrthenTimer_Timer();
    p->FinishStep();
}

} // namespace

class TestPrograms : public QObject {
    Q_OBJECT
private slots:
    void internalProgramOnTheWire() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        InternalPage *p = w.internalPage;
        fill(p->FGrid, {{"12.5", "1.00", "01", "30"}, {"05.0", "0,05", "00", "02"}});
        p->FGrid->SetDataRow(10, {"10", "30.0", "3.00", "99", "59"});
        f.port.sent.clear();
        p->Command0_Click(2);
        const QByteArray lines = f.port.sent;
        QVERIFY(lines.startsWith("PROP01251000130\rPROP10500050002\rPROP20000000000\r"));
        QVERIFY(lines.endsWith("PROP93003009959\r") && lines.count("PROP") == 10);
        QCOMPARE(f.supply.programStep(0).seconds, 30);

        // Run: the ten steps, RUNP with the cycle, the running page; polling sees the end.
        f.port.sent.clear();
        p->Command0_Click(0);
        QCOMPARE(f.port.sent, lines + "RUNP0\r");
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [Internal Timed Program Running]"));
        QVERIFY(p->Running() && !w.Tab1->isTabEnabled(1) && !p->FGrid->isEnabled());
        QVERIFY(!w.panel->Text2[0]->isEnabled() && !w.panel->Command4[1]->isEnabled());
        QVERIFY(!p->Command0[1]->isEnabled() && !w.presetPage->Command2[1]->isEnabled());
        // Stop by hand: STOP, and the page back.
        f.port.sent.clear();
        p->Command0_Click(0);
        QCOMPARE(f.port.sent, QByteArray("STOP\r"));
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [Internal Timed Program]"));
        QVERIFY(!p->Running() && p->FGrid->isEnabled() && w.Tab1->isTabEnabled(1));

        // One cycle ends by itself: polling sees it and gives everything back.
        p->Combo0[1]->setEditText("1");
        p->Command0_Click(0);
        QVERIFY(f.port.sent.endsWith("RUNP1\r"));
        w.Timer1_Timer(); // 12.5 V into 10 ohm held at 1 A: mode 3, running in C.C.
        QVERIFY(p->Running() && LastReply == "3");
        QCOMPARE(Panel::TextColor(w.panel->Label5[2]), Panel::Red);
        f.clock.advance(6'200'000); // past every step: mode 0
        w.Timer1_Timer();
        w.Timer1_Timer(); // one STOP for the end, not one a poll
        QCOMPARE(f.port.sent.count("STOP"), 2);
        QVERIFY(!p->Running() && p->FGrid->isEnabled() && p->Combo0[1]->isEnabled());
        QVERIFY(w.Tab1->isTabEnabled(2) && w.panel->Text2[1]->isEnabled());
        QVERIFY(p->Command0[1]->isEnabled() && w.presetPage->Command2[1]->isEnabled());
        QVERIFY(f.port.sent.endsWith("GETD\rSTOP\rGETD\r"));
        QVERIFY(f.dialogs.allShown());
    }

    void internalPreChecksAndRead() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        InternalPage *p = w.internalPage;
        f.supply.Receive("PROP01252000130\rPROP91000010005\r", 0);
        f.port.sent.clear();
        p->Command0_Click(1);
        QCOMPARE(f.port.sent, QByteArray("GETP\r"));
        const QStringList first{"1", "12.5", "2.00", "01", "30"};
        QCOMPARE(p->FGrid->DataRows().value(0), first);
        QCOMPARE(p->FGrid->DataRows().value(9), QStringList({"10", "10.0", "0.01", "00", "05"}));
        QVERIFY(p->Command0[0]->isEnabled() && p->Command0[4]->isEnabled());
        // A reply cut short: every attempt, then the missing steps read as zero.
        f.supply.faults.cutChars = 100;
        f.port.sent.clear();
        p->Command0_Click(1);
        QVERIFY(f.port.sent.count("GETP") == 6 && p->FGrid->DataRows().value(0) == first);
        QCOMPARE(p->FGrid->DataRows().value(1), QStringList({"2", "00.0", "0.00", "00", "00"}));
        f.supply.faults = {}; // every fault against every sequence is in test_faults

        // An external run, then no connection: the window title, then the not-ready message.
        f.port.sent.clear();
        w.externalPage->Command1[0]->setText("Stop");
        f.dialogs.expectMsg(w.windowTitle());
        p->Command0_Click(0);
        Connected = false;
        f.dialogs.expectMsg(NotReadyMsg);
        p->Command0_Click(2);
        QVERIFY(f.dialogs.allShown() && f.port.sent.isEmpty() && p->Command0[0]->text() == "Run");
    }

    void presetMemories() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        PresetPage *p = w.presetPage;
        f.supply.Receive("PROM9300010\rPROM1125125\r", 0);
        p->Command2_Click(1);
        QCOMPARE(p->FGrid->DataRows().value(8), QStringList({"", " 9", "30.0", "0.10"}));
        QCOMPARE(p->FGrid->DataRows().value(0), QStringList({"", " 1", "12.5", "1.25"}));
        QVERIFY(p->Command2[0]->isEnabled() && p->Command2[6]->isEnabled());

        // "1,5" is 1.5 V for Save to power supply, 1 V for Run.
        p->FGrid->SetTextMatrix(2, 2, "1,5");
        p->FGrid->SetTextMatrix(2, 3, "0.50");
        f.port.sent.clear();
        p->Command2_Click(2);
        QCOMPARE(w.statusBar()->currentMessage(), QString("Memories written to the supply (9)"));
        QVERIFY(f.port.sent.contains("PROM1125125\rPROM2015050\rPROM3000000\r"));
        p->FGrid->SetOption(2, true);
        f.port.sent.clear();
        p->Command2_Click(0);
        QVERIFY(f.port.sent == "PROM2010050\rRUNM2\r" && f.supply.setVolt() == 1.0f);
        // No row selected: nothing sent. A closed port: its message.
        p->FGrid->SetOption(2, false);
        f.port.sent.clear();
        p->Command2_Click(0);
        QVERIFY(f.port.sent.isEmpty());
        f.port.setPortOpen(false);
        f.dialogs.expectMsg("Communications no ready .");
        p->Command2_Click(1);
        QVERIFY(f.dialogs.allShown());
    }

    void externalStepping() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        ExternalPage *p = w.externalPage;
        p->Text1->setText("12");
        p->NewTable();
        fill(p->FGrid, {{"01.0", "1.00", "00", "05"},
                        {"02.0", "1.00", "01", "00"},
                        {"03.0", "1.00", "01", "01"},
                        {"04.0", "1.00", "00", "01"}});
        p->Combo1[1]->setEditText("3");
        w.Tab1->setCurrentIndex(1);
        f.port.sent.clear();
        p->Command1_Click(0);
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [External Timed Program (Untitle) Running]"));
        QVERIFY(!w.Tab1->isTabEnabled(0) && !p->Text1->isEnabled() && p->Running());
        QVERIFY(!p->Command1[2]->isEnabled()); // no table replaces the running steps
        QCOMPARE(CurCmd, QString("RUNU"));
        f.clock.advance(1);
        stepOnce(p); // step 1: 5 s
        QCOMPARE(f.port.sent, QByteArray("VOLT010\rCURR100\r"));
        QCOMPARE(p->OrthenTimer->interval(), 5000);
        f.clock.advance(5000);
        stepOnce(p); // step 2: exactly 60 s, one step timer
        QVERIFY(!p->Timer3->isActive() && p->OrthenTimer->interval() == 60000);
        f.clock.advance(60000);
        stepOnce(p); // step 3: 61 s, one minute slice and one second
        QVERIFY(p->Timer3->isActive() && !p->OrthenTimer->isActive());
        f.clock.advance(60000);
        p->Timer3_Timer();
        QVERIFY(!p->Timer3->isActive() && p->OrthenTimer->interval() == 1000);
        while (p->Running()) { // the manual clock through every tick to the end
            QTimer *t = p->Timer3->isActive() ? p->Timer3 : p->OrthenTimer;
            f.clock.advance(t->interval());
            t == p->Timer3 ? p->Timer3_Timer() : stepOnce(p);
        }
        // Rows 5-12 carry no time: 4 steps a pass, 3 passes, nothing at the end.
        QVERIFY(f.port.sent.count("VOLT") == 12 && f.port.sent.count("CURR") == 12);
        QVERIFY(f.port.sent.endsWith("VOLT040\rCURR100\r"));
        QVERIFY(!p->Running() && w.Tab1->isTabEnabled(2) && p->Command1[1]->isEnabled());
        QVERIFY(p->Command1[2]->isEnabled() && p->FGrid->Row() == 1); // given back
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [External Timed Program]"));

        const auto marker = [p] { return p->Label11->palette().color(QPalette::Window); };
        const QColor highlight = p->palette().color(QPalette::Highlight);
        QCOMPARE(marker(), highlight); // visible on the light track
        // A silent supply costs each step 2 s of waiting; every step still starts on time.
        f.supply.faults.silent = true;
        p->Combo1[1]->setEditText("0");
        p->Command1_Click(0);
        const qint64 start = f.clock.MonotonicMs();
        QList<qint64> starts;
        for (int step = 0; step < 7; ++step) {
            QTimer *t = p->Timer3->isActive() ? p->Timer3 : p->OrthenTimer;
            f.clock.advance(t->interval());
            if (t == p->Timer3)
                p->Timer3_Timer();
            t = p->Timer3->isActive() ? p->Timer3 : p->OrthenTimer;
            if (t == p->Timer3) {
                f.clock.advance(t->interval());
                p->Timer3_Timer();
                f.clock.advance(p->OrthenTimer->interval());
            }
            starts << f.clock.MonotonicMs() - start;
            stepOnce(p);
        }
        QCOMPARE(marker(), QColor(0, 0, 255));
        // The 1 s step cannot hold 2 s of exchanges; the step after it is due on time again.
        QCOMPARE(starts, QList<qint64>({1, 5001, 65001, 126001, 128001, 132001, 192001}));
        // Stop while step 3 waits out its 61 s: nothing more goes out, and as Stop sends nothing
        // it needs no connection.
        QVERIFY(p->OrthenTimer->isActive());
        Connected = false;
        f.port.sent.clear();
        p->Command1_Click(0);
        QVERIFY(!p->Running() && !p->Timer3->isActive() && !p->OrthenTimer->isActive());
        QVERIFY(f.port.sent.isEmpty());
        QCOMPARE(marker(), highlight); // blue while the endless run went on
        f.supply.faults.silent = false;
        Connected = true;
        // Stop, or closing the window, between a step's two halves: its current still follows
        // its voltage, and nothing else.
        for (bool close : {false, true}) {
            p->Command1_Click(0);
            f.clock.advance(1);
            f.port.sent.clear();
            p->OrthenTimer_Timer();
            QCOMPARE(f.port.sent, QByteArray("VOLT010\r"));
            if (close)
                w.Form_Unload();
            else
                p->Command1_Click(0);
            QCOMPARE(f.port.sent,
                     QByteArray(close ? "VOLT010\rCURR100\rENDS\r" : "VOLT010\rCURR100\r"));
            QVERIFY(!p->OrthenTimer->isActive() && !p->PendingCurr);
        }
        QVERIFY(f.dialogs.allShown());
    }
};

QTEST_MAIN(TestPrograms)
#include "test_programs.moc"
