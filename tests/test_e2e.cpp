// The program against qvr-supply-sim on a pseudo-terminal: a pulled adapter coming back, and
// the qvr executable itself. Every page against every fault of the line is in test_faults.
#include "Clock.h"
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
    // The adapter pulled while the supply runs its own program: "Reset" with nothing at the
    // path says so; once a device is back there, Reset finds the supply, its program shows as
    // running and Stop ends it.
    void lostPortComesBackAtItsPath() {
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
        InternalPage *in = w.internalPage;
        in->FGrid->SetDataRow(1, {"1", "05.0", "1.00", "01", "00"});
        in->Command0_Click(0); // cycle "0": runs until stopped
        first.reset();         // pulled
        dialogs.expectMsg("Serial port lost (port 1, " + path +
                              "): Input/output error\r\nThe program may still be running in the "
                              "power supply .",
                          Dialogs::Answer::Ok, Dialogs::Icon::Exclamation);
        w.Timer1_Timer();
        dialogs.expectMsg("Cannot open serial port (port 1, " + path +
                          "): No such file or directory");
        w.panel->Command4_Click(1);
        QVERIFY(dialogs.allShown() && w.panel->Command4[1]->isEnabled() && w.Tab1->isEnabled());

        const QString log = dir.filePath("rx.log");
        SimProcess second({"--log", log});
        QVERIFY(plugIn(second));
        QFile line(second.device()); // a supply that went on running its program
        QVERIFY(line.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        line.write("PROP00501000100\rRUNP0\r");
        QTRY_VERIFY(readAll(log).endsWith("RUNP0\r"));
        w.panel->Command4_Click(1);
        QVERIFY(Module1::Connected && readAll(log).endsWith("GMAX\rGETD\r"));
        w.Timer1_Timer();
        QVERIFY(in->Running());
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [Internal Timed Program Running]"));
        in->Command0_Click(0);
        QVERIFY(readAll(log).endsWith("GETD\rSTOP\r") && !in->Running());
        QVERIFY(dialogs.allShown());
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
