// The program against qvr-supply-sim on a pseudo-terminal: the window in-process with the real
// port, and the qvr executable itself.
#include "Clock.h"
#include "GridEditor.h"
#include "Module1.h"
#include "Panel.h"
#include "ProgramPages.h"
#include "ScriptedDialogs.h"
#include "SerialComm1.h"
#include "SimProcess.h"
#include "TabbedFrm.h"
#include "Tables.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
QByteArray readAll(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void seedPort(const QString &dir, int port) {
    Database db;
    db.Open(QDir(dir).filePath(Database::FileName));
    SettingsTable::RememberPort(db, port);
}

// Points port 1 at the simulator and remembers port 1 in the database of `dir`.
bool attach(const SimProcess &sim, const QString &dir) {
    if (!sim.started())
        return false;
    qputenv(sim.variable().toLatin1(), sim.device().toLatin1());
    seedPort(dir, 1);
    return true;
}
// The main window on the real port with scripted dialogs, its database in `dir`; the shared
// state starts afresh before the window is made.
struct FreshState {
    FreshState() { Module1::ResetSharedState(); }
};
struct RealPortWindow : FreshState {
    explicit RealPortWindow(const QString &dir)
        : w(port, dialogs, SystemClock::instance(), QDir(dir).filePath(Database::FileName)) {}
    SerialComm1 port;
    ScriptedDialogs dialogs;
    TabbedFrm w;
};
} // namespace

class TestE2E : public QObject {
    Q_OBJECT
private slots:
    // The window and each page drive the simulated supply over a pseudo-terminal at 9600 baud;
    // the supply's own state afterwards shows what arrived.
    void pagesDriveTheSupply() {
        QTemporaryDir dir;
        const QString log = dir.filePath("rx.log");
        SimProcess sim({"--baud", "9600", "--log", log, "--only", "STOP", "--cut", "1"});
        QVERIFY(attach(sim, dir.path()));
        RealPortWindow r(dir.path());
        auto &[port, dialogs, w] = r;
        QVERIFY(w.Form_Load());
        w.Form_Activate();
        QVERIFY(Module1::Connected);
        QCOMPARE(w.panel->Label5[0]->text(), QString("00.0"));
        QTest::qWait(1000); // about three polls
        const QByteArray polled = readAll(log);
        QVERIFY2(polled.startsWith("GMAX\rGETD\rSESS\rGETD\rGETD\r"), polled.constData());

        // "Set" goes out on the wire and the next polls show the new output.
        w.panel->Text2[0]->setText("12.3V");
        w.panel->Text2[1]->setText("2.00A");
        w.panel->Command4_Click(0);
        QVERIFY(readAll(log).endsWith("VOLT123\rCURR200\r"));
        QTRY_COMPARE(w.panel->Label5[0]->text(), QString("12.3"));
        QCOMPARE(w.panel->Label5[1]->text(), QString("1.23"));
        QCOMPARE(Panel::TextColor(w.panel->Label5[3]), Panel::Yellow);

        // Internal: two one-second steps, one cycle; the end comes through polling.
        InternalPage *in = w.internalPage;
        in->FGrid->SetDataRow(1, {"1", "05.0", "1.00", "00", "01"});
        in->FGrid->SetDataRow(2, {"2", "12.5", "2.00", "00", "01"});
        in->Combo0[1]->setEditText("1");
        in->Command0_Click(0);
        QVERIFY(in->Running());
        QTRY_VERIFY_WITH_TIMEOUT(!in->Running(), 5000);
        QVERIFY(readAll(log).contains("PROP11252000001\rPROP20000000000\r"));
        QVERIFY(readAll(log).contains("RUNP1\r"));
        w.editor->ClsFGrid(0);
        in->Command0_Click(1); // read back from the supply's program memory
        QCOMPARE(in->FGrid->DataRows()[1], QStringList({"2", "12.5", "2.00", "00", "01"}));

        // External: three steps of one second; the output is left at the last one.
        w.Tab1->setCurrentIndex(1);
        ExternalPage *ex = w.externalPage;
        ex->Text1->setText("3");
        ex->NewTable();
        for (int row = 1; row <= 3; ++row)
            ex->FGrid->SetDataRow(
                row, {QString::number(row), QString("0%1.0").arg(row * 2), "3.00", "00", "01"});
        ex->Combo1[1]->setEditText("1");
        ex->Command1_Click(0);
        QTRY_VERIFY_WITH_TIMEOUT(!ex->Running(), 6000);
        QVERIFY(readAll(log).contains("VOLT020\rCURR300\r"));
        QTRY_COMPARE(w.panel->Label5[0]->text(), QString("06.0")); // 6 V into the 10 ohm load

        // Preset: the nine memories written, read back into a cleared grid, one applied.
        w.Tab1->setCurrentIndex(2);
        PresetPage *pr = w.presetPage;
        pr->FGrid->SetDataRow(9, {"", " 9", "09.5", "1.50"});
        pr->Command2_Click(2);
        w.editor->ClsFGrid(2);
        pr->Command2_Click(1);
        QCOMPARE(pr->FGrid->DataRows()[8], QStringList({"", " 9", "09.5", "1.50"}));
        pr->FGrid->SetOption(9, true);
        pr->Command2_Click(0);
        QVERIFY(readAll(log).contains("PROM9095150\rRUNM9\r"));
        QTRY_COMPARE(w.panel->Label5[0]->text(), QString("09.5"));

        // Shutdown while the internal program runs: four unacknowledged STOPs, then ENDS.
        in->Command0[0]->setText("Stop");
        w.close();
        QTest::qWait(200);
        QVERIFY2(readAll(log).endsWith("GETD\rSTOP\rSTOP\rSTOP\rSTOP\rENDS\r"),
                 readAll(log).constData());
        QVERIFY(dialogs.allShown());
    }

    // A pulled adapter under any exchange: the port closes, a run ends on the computer's side
    // with one message, nothing stays locked; once a device is back at the path port 1 names,
    // "Reset" opens the same port again and finds the supply.
    void lostPortComesBackAtItsPath_data() {
        QTest::addColumn<QString>("during"); // what the program does when the adapter goes
        QTest::addColumn<QString>("tail");   // what the message adds to the port's description
        for (const char *during : {"poll", "Set", "preset read"})
            QTest::newRow(during) << QString(during) << QString();
        QTest::newRow("internal run")
            << "internal run"
            << "\r\nThe program may still be running in the power supply .";
        QTest::newRow("external run") << "external run"
                                      << "\r\nThe external timed program was stopped; the power "
                                         "supply keeps its last setpoints .";
    }
    void lostPortComesBackAtItsPath() {
        QFETCH(QString, during);
        QFETCH(QString, tail);
        QTemporaryDir dir;
        const QString path = dir.filePath("ttyQVR"); // a stable name, as udev gives an adapter
        qputenv("QVR_COM1", QFile::encodeName(path));
        auto plugIn = [&](SimProcess &sim) {
            QFile::remove(path);
            return sim.started() && QFile::link(sim.device(), path);
        };
        auto first = std::make_unique<SimProcess>(QStringList());
        QVERIFY(plugIn(*first));
        seedPort(dir.path(), 1);

        RealPortWindow r(dir.path());
        auto &[port, dialogs, w] = r;
        QVERIFY(w.Form_Load());
        QVERIFY(Module1::Connected);
        InternalPage *in = w.internalPage;
        ExternalPage *ex = w.externalPage;
        w.panel->Text2[0]->setText("5");
        w.panel->Text2[1]->setText("1");
        in->FGrid->SetDataRow(1, {"1", "05.0", "1.00", "01", "00"});
        ex->FGrid->SetDataRow(1, {"1", "05.0", "1.00", "00", "05"});
        if (during == "internal run")
            in->Command0_Click(0); // cycle "0": runs until stopped
        else if (during == "external run")
            ex->Command1_Click(0);
        first.reset(); // pulled
        dialogs.expectMsg("Serial port lost (port 1, " + path + "): Input/output error" + tail,
                          Dialogs::Answer::Ok, Dialogs::Icon::Exclamation);
        if (during == "Set")
            w.panel->Command4_Click(0);
        else if (during == "preset read")
            w.presetPage->Command2_Click(1);
        else if (during == "external run")
            ex->OrthenTimer_Timer(); // its first step
        else
            w.Timer1_Timer();
        QVERIFY(dialogs.allShown());
        QVERIFY(!port.PortOpen() && !Module1::Connected && !w.Timer1->isActive());
        QVERIFY(!in->Running() && !ex->Running() && !ex->OrthenTimer->isActive());
        QVERIFY(w.panel->Command4[1]->isEnabled() && w.Tab1->isTabEnabled(0) &&
                w.Tab1->isTabEnabled(2) && w.panel->Label5[0]->text().isEmpty());

        // "Reset" with nothing at the path says so and leaves the window usable.
        dialogs.expectMsg("Cannot open serial port (port 1, " + path +
                          "): No such file or directory");
        w.panel->Command4_Click(1);
        QVERIFY(dialogs.allShown() && w.panel->Command4[1]->isEnabled() && w.Tab1->isEnabled());

        const QString log = dir.filePath("rx.log");
        SimProcess second({"--log", log});
        QVERIFY(plugIn(second));
        const bool kept = during == "internal run";
        if (kept) { // a supply that went on running its program
            QFile line(second.device());
            QVERIFY(line.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            line.write("PROP00501000100\rRUNP0\r");
            QTRY_VERIFY(readAll(log).endsWith("RUNP0\r"));
        }
        w.panel->Command4_Click(1);
        QVERIFY(dialogs.allShown());
        QVERIFY(Module1::Connected && port.PortOpen() && w.Timer1->isActive());
        QVERIFY(readAll(log).endsWith("GMAX\rGETD\r"));
        // That program shows as running at the next poll, and Stop ends it.
        w.Timer1_Timer();
        QCOMPARE(in->Running(), kept);
        if (kept) {
            QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [Internal Timed Program Running]"));
            in->Command0_Click(0);
            QVERIFY(readAll(log).endsWith("GETD\rSTOP\r") && !in->Running());
            QVERIFY(w.panel->Command4[1]->isEnabled());
        }
        w.close();
    }

    // The qvr executable itself: SIGTERM while it polls, and while the not-ready message of a
    // silent supply waits for an answer, ends it in order with status 0.
    void programEndsOnSigterm_data() {
        QTest::addColumn<bool>("silent");
        QTest::newRow("polling") << false;
        QTest::newRow("not-ready message open") << true;
    }
    void programEndsOnSigterm() {
        QFETCH(bool, silent);
        QTemporaryDir dir;
        const QString log = dir.filePath("rx.log");
        SimProcess sim(silent ? QStringList{"--log", log, "--silent"} : QStringList{"--log", log});
        QVERIFY(sim.started());
        seedPort(dir.path(), 1);
        QProcess qvr;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QVR_DATA_DIR", dir.path());
        env.insert(sim.variable(), sim.device());
        qvr.setProcessEnvironment(env);
        qvr.start(QCoreApplication::applicationDirPath() + "/qvr", {});
        QVERIFY(qvr.waitForStarted());
        // Offscreen there is no window activation: polling must start all the same.
        const QByteArray awaited = silent ? "GMAX\rGMAX\rGMAX\rGMAX\r" : "GETD\rGETD\rGETD\rGETD\r";
        QTRY_VERIFY_WITH_TIMEOUT(readAll(log).contains(awaited), 5000);
        QTest::qWait(300);
        qvr.terminate(); // SIGTERM
        QVERIFY(qvr.waitForFinished(5000));
        QCOMPARE(qvr.exitStatus(), QProcess::NormalExit);
        QCOMPARE(qvr.exitCode(), 0);
        const QByteArray bytes = readAll(log);
        if (silent)
            QCOMPARE(bytes, awaited + "ENDS\r");
        else
            QVERIFY2(bytes.startsWith("GMAX\rGETD\rSESS\rGETD\r") && bytes.endsWith("GETD\rENDS\r"),
                     bytes.constData());
    }
};

QTEST_MAIN(TestE2E)
#include "test_e2e.moc"
