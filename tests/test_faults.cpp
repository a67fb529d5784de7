// Every fault the simulated supply can show, against every operation of the window on the real
// port over a pseudo-terminal: the program keeps running, no handler blocks past the waits the
// protocol gives, the operator sees what the program promises, and once the fault is gone the
// same operation works again. Each fault runs in a process of its own, all side by side.
#include "DataLogPage.h"
#include "GridEditor.h"
#include "Module1.h"
#include "Panel.h"
#include "ProgramLink.h"
#include "ProgramPages.h"
#include "RemoteServer.h"
#include "SampleStore.h"
#include "SerialComm1.h"
#include "SimProcess.h"
#include "StallMeter.h"
#include "Tables.h"
#include "Timeline.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

using namespace Module1;

namespace {

// The system clock, whose monotonic time the test moves on past the reset countdown's 10 s.
class JumpClock : public Clock {
public:
    double SecondsSinceMidnight() override { return real_.SecondsSinceMidnight(); }
    QDateTime CurrentDateTime() override { return real_.CurrentDateTime(); }
    qint64 MonotonicMs() override { return real_.MonotonicMs() + jumpMs; }
    void SleepMs(qint64 ms) override { real_.SleepMs(ms); }
    qint64 jumpMs = 0;

private:
    Clock &real_ = SystemClock::instance();
};

int ms(Protocol::Wait w) {
    return int(w.timeoutS * 1000);
}

// One fault row: qvr-supply-sim behind a stable path, as udev names an adapter, replaced by a
// new one when it vanished; port 1 leads to the path and is remembered for the window.
struct Line {
    QTemporaryDir dir;
    QString path = dir.filePath("ttyQVR"), log = dir.filePath("rx.log");
    std::unique_ptr<SimProcess> sim;
    QStringList faults;
    explicit Line(const QStringList &given) : faults(given) {
        qputenv("QVR_COM1", QFile::encodeName(path));
        RememberPortIn(dir.path(), 1);
    }
    bool plugIn() {
        sim.reset();
        sim = std::make_unique<SimProcess>(
            QStringList{"--faults-later", "--reset-ms", "300", "--log", log} + faults);
        QFile::remove(path);
        return sim->started() && QFile::link(sim->device(), path);
    }
    // The adapter's name goes with it: no try may meet another row's supply that got the same
    // pseudo-terminal number meanwhile.
    void unplug() {
        sim.reset();
        QFile::remove(path);
    }
};

// One row's window on the real port at its line's path, every box answered OK; the window is
// made once the line is plugged in.
struct LineWindow {
    Line line;
    SerialComm1 port;
    ScriptedDialogs dialogs;
    JumpClock clock;
    std::unique_ptr<TabbedFrm> made;
    explicit LineWindow(const QStringList &faults) : line(faults) {
        dialogs.answerAll = Dialogs::Answer::Ok;
    }
    TabbedFrm *make() {
        if (!line.plugIn())
            return nullptr;
        Module1::ResetSharedState();
        made = std::make_unique<TabbedFrm>(port, dialogs, clock,
                                           line.dir.filePath(Database::FileName));
        return made.get();
    }
};

const QString PortLost = "Serial port lost (port 1, %1): ";
const QString InternalTail = "\r\nThe program may still be running in the power supply .";
const QString ExternalTail =
    "\r\nThe external timed program was stopped; the power supply keeps its last setpoints .";

} // namespace

class FaultRow : public QObject {
    Q_OBJECT
    void pacedScripts(TabbedFrm &w, Line &line, QTcpSocket &script);
private slots:
    void matrix_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("silent") << QStringList{"--silent"};
        QTest::newRow("answer from 3") << QStringList{"--answer-from", "3"};
        QTest::newRow("cut short") << QStringList{"--cut", "2"};
        QTest::newRow("long replies") << QStringList{"--extra", "OK\r99;"};
        QTest::newRow("garbage") << QStringList{"--garbage"};
        QTest::newRow("9600 baud") << QStringList{"--baud", "9600"};
        QTest::newRow("port vanishes") << QStringList{"--unplug-at", "1"};
    }

    void matrix() {
        QFETCH(QStringList, faults);
        const QString row = QTest::currentDataTag();
        const bool dead = row == "silent" || row == "cut short" || row == "garbage";
        const bool vanish = row == "port vanishes";
        LineWindow lw(faults);
        QVERIFY(lw.make());
        auto &[line, port, dialogs, clock, made] = lw;
        TabbedFrm &w = *made;
        InternalPage *in = w.internalPage;
        ExternalPage *ex = w.externalPage;
        PresetPage *pr = w.presetPage;
        StallMeter stall;
        auto fillInternal = [&] {
            for (int r = 1; r <= 10; ++r)
                in->FGrid->SetDataRow(r, {QString::number(r), "05.0", "1.00", "00", "01"});
            in->Combo0[1]->setEditText("0");
        };
        auto fillPreset = [&] {
            for (int k = 1; k <= 9; ++k)
                pr->FGrid->SetDataRow(k, {"", QString(" %1").arg(k), QString("0%1.0").arg(k),
                                          QString("0.%10").arg(k)});
        };

        struct Op {
            QString name;
            int boundMs; // the waits the protocol gives a supply that never answers
            std::function<void()> act;
            QStringList dead;                   // what the operator sees from a dead supply
            std::function<bool()> worked;       // once the fault is gone
            QString tail = QString();           // added to the lost-port message
            std::function<void()> prepare = {}; // before each attempt, faults off
        };
        // clang-format off
        const QList<Op> ops = {
            {"start-up", 4 * ms(Protocol::GmaxStartupWait),
             [&] { w.Form_Load(); w.Form_Activate(); },
             {NotReadyMsg, "Input max voltage value please .", "Input max current value please ."},
             [&] { return Connected && w.Timer1->isActive(); }},
            {"poll", ms(Protocol::GetdWait), [&] { w.Timer1_Timer(); }, {},
             [&] { return w.panel->Label5[0]->text() == "00.0"; }},
            {"Set", 2 * ms(Protocol::SetpointWait),
             [&] { w.panel->Text2[0]->setText("5"); w.panel->Text2[1]->setText("1");
                   w.panel->Command4_Click(0); },
             {}, [&] { return ReadFile(line.log).endsWith("VOLT050\rCURR100\r"); }},
            // Run writes the program first: its PROP lines meet the fault as Save's would.
            {"internal Run", 40 * ms(ProgramLink::PropWait) + 4 * ms(ProgramLink::RunpWait),
             [&] { in->Command0_Click(0); },
             {ProgramLink::NotAcceptedMessage("step", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) +
              " The program was not started ."},
             [&] { return in->Running() && ReadFile(line.log).endsWith("RUNP0\r"); }, InternalTail,
             [&] { if (in->Running()) in->Command0_Click(0);
                   fillInternal(); }},
            // The window is idle before STOP goes out: a lost port then ends no run.
            {"internal Stop", 4 * ms(Protocol::StopWait), [&] { in->Command0_Click(0); }, {},
             [&] { return !in->Running() && ReadFile(line.log).endsWith("STOP\r"); }, QString(),
             [&] { if (!in->Running()) in->Command0_Click(0); }},
            {"internal Read", 6 * ms(ProgramLink::GetpWait), [&] { in->Command0_Click(1); }, {},
             [&] { return in->FGrid->DataRows().value(9) ==
                          QStringList({"10", "05.0", "1.00", "00", "01"}); },
             QString(), // a new supply after a vanished one holds no program yet
             [&] { fillInternal(); in->Command0_Click(2); w.editor->ClsFGrid(0); }},
            {"external run", 4 * ms(Protocol::SteppingWait) + 4 * ms(Protocol::SetpointWait),
             [&] { ex->Command1_Click(0); QTRY_VERIFY_WITH_TIMEOUT(!ex->Running(), 6000); }, {},
             [&] { return ReadFile(line.log).contains("VOLT060\rCURR100\r"); }, ExternalTail,
             [&] { ex->FGrid->SetDataRow(1, {"1", "06.0", "1.00", "00", "01"});
                   ex->Combo1[1]->setEditText("1"); }},
            {"preset Save", 9 * ms(ProgramLink::PromWait), [&] { pr->Command2_Click(2); },
             {ProgramLink::NotAcceptedMessage("memory", {1, 2, 3, 4, 5, 6, 7, 8, 9})},
             [&] { return ReadFile(line.log).endsWith("PROM9090090\r"); }, QString(), fillPreset},
            {"preset Read", 4 * ms(ProgramLink::GetmWait), [&] { pr->Command2_Click(1); },
             {"Read error ."},
             [&] { return pr->FGrid->DataRows().value(8) ==
                          QStringList({"", " 9", "09.0", "0.90"}); },
             QString(), [&] { fillPreset(); pr->Command2_Click(2); w.editor->ClsFGrid(2); }},
            {"preset Run", ms(ProgramLink::PromWait) + ms(ProgramLink::RunmWait),
             [&] { pr->Command2_Click(0); },
             {ProgramLink::NotAcceptedMessage("memory", {3}) + " It was not recalled ."},
             [&] { return ReadFile(line.log).endsWith("PROM3030030\rRUNM3\r"); }, QString(),
             [&] { pr->FGrid->SetDataRow(3, {"", " 3", "03.0", "0.30"});
                   pr->FGrid->SetOption(3, true); }},
            {"Reset", 3 * ms(Protocol::GmaxResetWait) + 4 * ms(Protocol::GetdWait),
             [&] {
                 w.panel->Command4_Click(1);
                 if (CurCmd == "SRST") { // the countdown: its ten seconds pass at once
                     QTRY_VERIFY(!w.panel->Label5[4]->isHidden()); // counting
                     clock.jumpMs += 11000;
                     QTRY_VERIFY_WITH_TIMEOUT(CurCmd != "SRST", 3000);
                 }
             },
             {}, [&] { return Connected && w.Timer1->isActive(); }},
        };
        // clang-format on

        for (const Op &op : ops) {
            // The operation meets the fault.
            if (op.prepare)
                op.prepare();
            QVERIFY(line.sim->setFaults(true));
            dialogs.takeTexts();
            stall.Reset();
            op.act();
            const double blocked = stall.WorstMs();
            // Beyond the waits: the handler's own work, and at start-up the database's key
            // derivation, seconds under the sanitizers with every row starting at once.
            const int workMs = op.name == "start-up" ? 2500 : 300;
            QVERIFY2(blocked <= op.boundMs + workMs,
                     qPrintable(QString("%1 blocked the window %2 ms").arg(op.name).arg(blocked)));
            if (row == "silent" && op.name == "internal Run") // each step asked four times
                QCOMPARE(ReadFile(line.log).count("PROP0"), 4);
            if (row == "silent" && op.name == "poll") // the wait ends on time, not later
                QVERIFY2(blocked >= op.boundMs - 5 && blocked < op.boundMs + 25,
                         qPrintable(QString::number(blocked)));
            QStringList said = dialogs.takeTexts();
            QStringList expected = op.dead; // silent, cut short, garbage
            if (vanish && op.name != "start-up") {
                // One message: the port, the system's reason, what became of a run.
                QCOMPARE(said.size(), 1);
                QVERIFY2(said[0].startsWith(PortLost.arg(line.path)) && said[0].endsWith(op.tail),
                         qPrintable(said[0]));
                said = expected = {};
            } else if (row == "answer from 3") { // the first two lines of a command go unanswered
                expected = op.name == "preset Save"
                               ? QStringList{ProgramLink::NotAcceptedMessage("memory", {1, 2})}
                           : op.name == "preset Run" ? op.dead // one PROM, no retry
                                                     : QStringList();
            } else if (!dead && !vanish) {
                expected = {};
            } else if ((row == "garbage" && op.name == "preset Read") ||
                       (row == "cut short" && op.name == "start-up")) {
                expected = {}; // all 71 characters came, read as zeros; the limits' digits came
            }
            QCOMPARE(said, expected);
            if (op.name == "poll" && (row == "silent" || vanish))
                QVERIFY(w.panel->Label5[0]->text().isEmpty() &&
                        w.panel->Label5[1]->text().isEmpty());
            if (!in->Running() && !ex->Running()) // nothing stays locked
                QVERIFY(w.isEnabled() && w.panel->Command4[1]->isEnabled() &&
                        w.Tab1->isTabEnabled(0) && w.Tab1->isTabEnabled(1) &&
                        w.Tab1->isTabEnabled(2));

            // The fault is gone: Reset finds the supply, and the operation works.
            if (vanish)
                QVERIFY(line.plugIn());
            else
                QVERIFY(line.sim->setFaults(false));
            if (!Connected || !port.PortOpen())
                w.panel->Command4_Click(1);
            QVERIFY2(Connected, qPrintable(op.name));
            if (op.name != "start-up") {
                if (op.prepare)
                    op.prepare();
                op.act();
            }
            QVERIFY2(op.worked(), qPrintable(op.name + ": " + ReadFile(line.log).right(60)));
            QCOMPARE(dialogs.takeTexts(), QStringList());
        }

        // Shutdown meets the fault with an internal program running: STOP until the supply
        // confirms, four at most, then the farewell (none to a port that is gone).
        in->Command0_Click(0);
        QVERIFY(in->Running() && line.sim->setFaults(true));
        stall.Reset();
        w.close();
        QVERIFY(stall.WorstMs() <= 4 * ms(Protocol::StopWait) + 300);
        const QByteArray tail = vanish                   ? "STOP\r"
                                : dead                   ? "STOP\rSTOP\rSTOP\rSTOP\rENDS\r"
                                : row == "answer from 3" ? "STOP\rSTOP\rSTOP\rENDS\r"
                                                         : "RUNP0\rSTOP\rENDS\r";
        QTRY_VERIFY2(ReadFile(line.log).endsWith(tail), ReadFile(line.log).right(40).constData());
        QCOMPARE(dialogs.takeTexts(), QStringList());
    }

    // What an unattended rig does when the link goes wrong, with "Reconnect automatically" on
    // and a recording running: the panel tells the truth, the boxes keep the operator's
    // setpoints, one box at most waits for its OK, and no reading is recorded while no poll
    // answers.
    void link_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("fails three times") << QStringList();
        QTest::newRow("GMAX then silence") << QStringList{"--only", "GETD", "--silent"};
        QTest::newRow("Reset during tries") << QStringList{"--silent"};
        QTest::newRow("blocking read at 0.5 s") << QStringList{"--only", "GETM0", "--silent"};
    }
    void link() {
        QFETCH(QStringList, faults);
        const QString row = QTest::currentDataTag();
        LineWindow lw(faults);
        QVERIFY(lw.make());
        auto &[line, port, dialogs, clock, made] = lw;
        TabbedFrm &w = *made;
        Panel &panel = *w.panel;
        QVERIFY(w.Form_Load());
        w.Form_Activate();
        w.SetAutoReconnect(true);
        SampleMs = 500;
        QVERIFY(w.dataLogPage->StartRecording(line.dir.filePath("run.csv")));
        panel.Text2[0]->setText("5");
        panel.Text2[1]->setText("1");
        panel.Command4_Click(0);
        const auto live = [&] { // what the operator sees of a working link
            return Connected && w.Timer1->isActive() && MeasVolt != -1 &&
                   panel.Picture0->text() == "Port 1\nconnected" &&
                   panel.Text2[0]->text() + panel.Text2[1]->text() == "51";
        };
        const auto dead = [&] {
            return !Connected && !w.Timer1->isActive() && MeasVolt == -1 &&
                   panel.Label5[0]->text().isEmpty() &&
                   panel.Picture0->text().endsWith("not connected");
        };
        const int tryMs = 3 * TabbedFrm::ReconnectMs;
        int boxes = 0;
        QTRY_VERIFY(live());
        // The first loss's box waits while the port comes back and goes again twice.
        if (row == "fails three times") {
            dialogs.whileShown = [&](const QString &) {
                for (int i = ++boxes == 1 ? 0 : 3; i < 3; ++i) {
                    QVERIFY(dead() && line.plugIn());
                    QTRY_VERIFY_WITH_TIMEOUT(live(), tryMs);
                    if (i < 2)
                        line.unplug(); // told on the status line, not in a second box
                    QTRY_VERIFY(i == 2 || w.statusBar()->currentMessage().startsWith(
                                              PortLost.arg(line.path)));
                }
            };
        }
        if (row == "blocking read at 0.5 s") {
            // A preset Read the supply leaves unanswered holds the window 1.6 s: the slots it
            // missed stay empty, and every older sample stays where its time puts it.
            QTRY_VERIFY(LogCount >= 4);
            const qint64 count0 = LogCount, at0 = Timeline::NowMs(clock);
            QVERIFY(line.sim->setFaults(true));
            w.presetPage->Command2_Click(1);
            QTest::qWait(1200);
            const int taken = int(LogCount - count0);
            int empty = 0;
            for (int k = 1; k <= taken; ++k)
                empty += !LiveStore.Present(k);
            QVERIFY(std::abs(taken - (Timeline::NowMs(clock) - at0) / 500) <= 1 && empty >= 2 &&
                    LiveStore.Present(taken + 1));
        } else {
            line.unplug();
        }
        if (row == "GMAX then silence" || row == "Reset during tries") {
            QTRY_VERIFY(dead());
            QVERIFY(line.plugIn() && line.sim->setFaults(true));
        }
        if (row == "GMAX then silence") { // tries that meet GMAX answered and GETD not: no link
            QTest::qWait(tryMs);
            QVERIFY(dead() && ReadFile(line.log).count("GMAX\rGETD\r") >= 2);
            QVERIFY(line.sim->setFaults(false));
        } else if (row == "Reset during tries") {
            // The operator's Reset finds nobody; while its box waits, the supply answers again,
            // and no automatic try comes between the Reset and its box.
            dialogs.whileShown = [&](const QString &text) {
                QVERIFY(text != NotReadyMsg || line.sim->setFaults(false));
                QTest::qWait(text == NotReadyMsg ? tryMs : 0);
                QVERIFY(dead());
            };
            panel.Command4_Click(1); // the tries go on after it
        }
        QTRY_VERIFY_WITH_TIMEOUT(live() && boxes == (row == "fails three times"), tryMs);
        // Nothing recorded as a reading between a loss and the return.
        w.dataLogPage->StopRecording();
        bool lost = false;
        for (const QByteArray &l : ReadFile(line.dir.filePath("run.csv")).split('\n')) {
            lost = (lost || l.contains("port lost")) && !l.contains("port back");
            QVERIFY2(!lost || l.split(',').value(2).isEmpty(), l.constData());
        }
    }

    // A script on the real port: the port lost while it waits on a reading, a flood of queries
    // while the window polls a supply at 9600-baud pace, and at that pace the scripts whose
    // faults an instant line hides.
    void remote_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("port lost under MEAS") << QStringList{"--unplug-at", "1"};
        QTest::newRow("flood of 100000") << QStringList{"--baud", "9600"};
        QTest::newRow("paced scripts") << QStringList{"--baud", "9600"};
    }
    void remote() {
        QFETCH(QStringList, faults);
        LineWindow lw(faults);
        QVERIFY(lw.make());
        auto &[line, port, dialogs, clock, made] = lw;
        TabbedFrm &w = *made;
        QVERIFY(w.Form_Load());
        w.Form_Activate();
        QVERIFY(w.SetRemote(true, 0, false).isEmpty());
        QTcpSocket script;
        script.connectToHost(QHostAddress::LocalHost, w.remote->Port());
        QVERIFY(script.waitForConnected(3000));
        QByteArray got;
        const auto replies = [&](int n, int ms) {
            QTRY_VERIFY_WITH_TIMEOUT((got += script.readAll()).count('\n') >= n, ms);
        };
        if (QByteArray(QTest::currentDataTag()).startsWith("port lost")) {
            QVERIFY(line.sim->setFaults(true));
            QElapsedTimer t;
            t.start();
            script.write("MEAS:VOLT?;:SYST:ERR?\n");
            replies(1, 2000);
            QVERIFY2(got.startsWith("-240,\"Hardware error; ") && t.elapsed() < 1000, got);
            QTRY_VERIFY(!Connected);
            const QStringList shown = dialogs.takeTexts(); // the window's one message
            QVERIFY2(shown.size() == 1 && shown[0].startsWith(PortLost.arg(line.path)),
                     qPrintable(shown.join(" | ")));
            return;
        }
        if (QByteArray(QTest::currentDataTag()) == "paced scripts") {
            pacedScripts(w, line, script);
            return;
        }
        const qsizetype polls0 = ReadFile(line.log).count("GETD");
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 100; ++i) {
            script.write(QByteArray("*IDN?\n").repeated(1000));
            replies((i + 1) * 1000, 20000);
        }
        const qsizetype polls = ReadFile(line.log).count("GETD") - polls0;
        QVERIFY2(polls >= t.elapsed() / 300 - 2,
                 qPrintable(QString("%1 polls in %2 ms").arg(polls).arg(t.elapsed())));
        QCOMPARE(got.count("QVR,30V-3A,0,2.0\n"), 100000);
    }
};

void FaultRow::pacedScripts(TabbedFrm &w, Line &line, QTcpSocket &script) {
    // What reached the supply after `from` bytes of its log, polls left out.
    const auto since = [&](qsizetype from) {
        return ReadFile(line.log).mid(from).replace("GETD\r", "");
    };
    // The server is in this process: the answer is waited for with the event loop running.
    const auto ask = [](QTcpSocket &s, const QByteArray &question) {
        s.write(question + '\n');
        QByteArray reply;
        for (QDeadlineTimer d(5000); !reply.endsWith('\n') && !d.hasExpired(); QTest::qWait(2))
            reply += s.readAll();
        return reply.trimmed();
    };
    QTRY_VERIFY(ReadFile(line.log).contains("SESS\r")); // past start-up
    // Ten settings sent and the line closed at once: all ten go out, in order.
    QByteArray settings;
    for (int v = 1; v <= 10; ++v)
        settings += "VOLT " + QByteArray::number(v) + '\n';
    qsizetype from = ReadFile(line.log).size();
    {
        QTcpSocket brief;
        brief.connectToHost(QHostAddress::LocalHost, w.remote->Port());
        QVERIFY(brief.waitForConnected(3000));
        brief.write(settings);
        brief.disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(since(from).count("VOLT"), 10, 5000);
    }
    QCOMPARE(since(from), "VOLT010\rVOLT020\rVOLT030\rVOLT040\rVOLT050\rVOLT060\rVOLT070\r"
                          "VOLT080\rVOLT090\rVOLT100\r");
    QCOMPARE(ask(script, "VOLT?"), QByteArray("10.0"));

    // 150 settings on one line (3 s of the line) while another script asks who is there: its
    // answer comes within a few turns, and the polls go on.
    QTcpSocket other;
    other.connectToHost(QHostAddress::LocalHost, w.remote->Port());
    QVERIFY(other.waitForConnected(3000));
    from = ReadFile(line.log).size();
    QElapsedTimer t;
    t.start();
    script.write("VOLT 1" + QByteArray(";VOLT 2").repeated(149) + ";:*OPC?\n");
    QTest::qWait(100);
    QCOMPARE(ask(other, "*IDN?"), QByteArray("QVR,30V-3A,0,2.0"));
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed()))); // the line: 3 s
    QVERIFY(since(from).count("VOLT") < 100);
    QByteArray done;
    QTRY_VERIFY_WITH_TIMEOUT((done += script.readAll()) == "1\n", 10000);
    const QByteArray during = ReadFile(line.log).mid(from);
    QVERIFY2(during.count("GETD") >= t.elapsed() / 300 - 2,
             qPrintable(QString("%1 polls in %2 ms").arg(during.count("GETD")).arg(t.elapsed())));
    QCOMPARE(during.count("VOLT"), 150);
    QCOMPARE(ask(script, "SYST:ERR?"), QByteArray("0,\"No error\""));

    // A script setting every 100 ms for 10 s: the polls keep their pace, and the recording's
    // readings follow the settings rather than standing still.
    Module1::SampleMs = 500;
    QCOMPARE(ask(script, "CURR 3;:VOLT 1;:MEAS:VOLT?"), QByteArray("1.0")); // where it starts
    const QString csv = line.dir.filePath("ramp.csv");
    QVERIFY(w.dataLogPage->StartRecording(csv));
    from = ReadFile(line.log).size();
    t.restart();
    for (int i = 1; t.elapsed() < 10000; ++i) {
        script.write("VOLT " + QByteArray::number(1 + std::abs((i + 50) % 100 - 50) / 10.0) + '\n');
        QTest::qWait(100 - int(t.elapsed() % 100));
    }
    w.dataLogPage->StopRecording();
    const qsizetype polls = ReadFile(line.log).mid(from).count("GETD");
    QVERIFY2(polls >= 30, qPrintable(QString("%1 polls").arg(polls)));
    int samples = 0;
    QSet<QByteArray> seen;
    for (const QByteArray &row : ReadFile(csv).split('\n')) {
        const QList<QByteArray> f = row.split(',');
        if (f.size() < 8 || f[2].isEmpty() || f[6].isEmpty())
            continue;
        ++samples;
        seen << f[2];
        // 1 V to 6 V and back in 0.1 V steps: the reading is at most a poll and an exchange,
        // four or five settings, behind the setting.
        QVERIFY2(std::abs(f[2].toDouble() - f[6].toDouble()) <= 0.65, row.constData());
    }
    QVERIFY2(samples >= 15 && seen.size() >= 10,
             qPrintable(QString("%1 samples, %2 voltages").arg(samples).arg(seen.size())));
}

// The rows of the matrix side by side, each in a process of its own.
class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void everyFaultAgainstEveryOperation() {
        // A link row runs after one of the shorter matrix rows in its process: no more processes
        // at once than the matrix has, so that none starves the others' start-up.
        const QStringList rows =
            QString("matrix:silent,remote:port lost under MEAS;matrix:cut short,remote:flood of "
                    "100000;matrix:answer from 3,remote:paced scripts;"
                    "matrix:port vanishes,link:Reset during tries;matrix:garbage,link:fails three "
                    "times;matrix:long replies,link:GMAX then silence;matrix:9600 baud,link:"
                    "blocking read at 0.5 s")
                .split(u';');
        std::vector<std::unique_ptr<QProcess>> children;
        for (const QString &row : rows) {
            children.push_back(std::make_unique<QProcess>());
            QProcess &child = *children.back();
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        QStringList{"--row"} + row.split(u','));
        }
        QString failed;
        for (size_t i = 0; i < children.size(); ++i) {
            QProcess &child = *children[i];
            if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit ||
                child.exitCode() != 0)
                failed += rows[int(i)] + ":\n" + QString::fromLocal8Bit(child.readAll());
        }
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
};

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (argc >= 3 && QByteArray(argv[1]) == "--row") {
        FaultRow row; // the rows given after "--row"
        return QTest::qExec(&row, QStringList{argv[0]} + QCoreApplication::arguments().mid(2));
    }
    TestFaults test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_faults.moc"
