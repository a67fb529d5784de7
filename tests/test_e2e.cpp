// The program against qvr-supply-sim on a pseudo-terminal: an adapter that comes back by itself,
// and the qvr executable itself. Every page against every fault of the line, a pulled adapter
// among them, is in test_faults.
#include "Clock.h"
#include "Module1.h"
#include "PluggedSupply.h"
#include "ScriptedDialogs.h"
#include "SerialComm1.h"
#include "TabbedFrm.h"
#include "Tables.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
// The qvr executable offscreen, its data in `dir`, port 1 remembered and leading to `sim`.
bool startQvr(QProcess &qvr, const QString &dir, const SimProcess &sim, const QStringList &args) {
    RememberPortIn(dir, 1);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QVR_DATA_DIR", dir);
    env.insert(sim.variable(), sim.device());
    qvr.setProcessEnvironment(env);
    qvr.start(QCoreApplication::applicationDirPath() + "/qvr", args);
    return qvr.waitForStarted();
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
    // "Reconnect automatically": the supply killed under a poll, a new one at the same path;
    // one box, and polling comes back with no operator action.
    void reconnectsByItself() {
        PluggedSupply supply;
        const QString &path = supply.path, &log = supply.log;
        QVERIFY(supply.plugIn());
        RealPortWindow r(supply.dir.path());
        auto &[port, dialogs, w] = r;
        QVERIFY(w.Form_Load());
        w.SetAutoReconnect(true);
        supply.sim.reset();
        dialogs.expectMsg("Serial port lost (port 1, " + path + "): Input/output error",
                          Dialogs::Answer::Ok, Dialogs::Icon::Exclamation);
        w.Timer1_Timer();
        QVERIFY(dialogs.allShown() && !Module1::Connected && w.ReconnectTimer->isActive());
        QTest::qWait(2 * TabbedFrm::ReconnectMs + 200); // tries find nothing, and say nothing
        QVERIFY(supply.plugIn({"--log", log}));
        QTRY_VERIFY_WITH_TIMEOUT(ReadFile(log).contains("GMAX\rGETD\r"),
                                 3 * TabbedFrm::ReconnectMs);
        QVERIFY(Module1::Connected && !w.ReconnectTimer->isActive());
        QTRY_VERIFY(ReadFile(log).count("GETD") >= 3); // polling again
        QVERIFY(dialogs.allShown());
        Database db; // remembered for the next start
        db.Open(QDir(supply.dir.path()).filePath(Database::FileName));
        QCOMPARE(SettingsTable::ReadRecord(db, SettingsTable::ReconnectRecord), QString("1"));
        w.close();
    }

    // Recording to a file while the program is killed: every line whole, times increasing, as
    // Python's csv module reads it.
    void recordingSurvivesSigkill() {
        QTemporaryDir dir;
        SimProcess sim({});
        QVERIFY(sim.started());
        const QString csv = dir.filePath("run.csv");
        QProcess qvr;
        QVERIFY(startQvr(qvr, dir.path(), sim, {"--record", csv}));
        QTRY_VERIFY_WITH_TIMEOUT(ReadFile(csv).count('\n') >= 4, 10000); // header, start, samples
        QTest::qWait(QRandomGenerator::global()->bounded(2000));
        qvr.kill();
        QVERIFY(qvr.waitForFinished(5000));
        QProcess python;
        python.start("python3",
                     {"-c",
                      "import csv, sys\n"
                      "rows = list(csv.reader(open(sys.argv[1], newline='')))\n"
                      "assert rows[0][:2] == ['time', 'seconds'], rows[0]\n"
                      "assert all(len(r) == 9 for r in rows), 'a torn line'\n"
                      "t = [float(r[1]) for r in rows[1:]]\n"
                      "assert t == sorted(t) and len(t) >= 3, t\n"
                      "assert rows[1][8].startswith('recording started'), rows[1]\n"
                      "assert all(r[2] for r in rows[2:]), 'a sample without a reading'\n",
                      csv});
        QVERIFY(python.waitForFinished(10000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    }

    // The qvr executable itself: SIGTERM while it polls ends it in order with status 0 (every
    // moment of start-up, open boxes among them, is in test_window).
    void programEndsOnSigterm() {
        QTemporaryDir dir;
        const QString log = dir.filePath("rx.log");
        SimProcess sim({"--log", log});
        QVERIFY(sim.started());
        QProcess qvr;
        QVERIFY(startQvr(qvr, dir.path(), sim, {}));
        // Offscreen there is no window activation: polling must start all the same.
        QTRY_VERIFY_WITH_TIMEOUT(ReadFile(log).contains("GETD\rGETD\rGETD\rGETD\r"), 5000);
        qvr.terminate(); // SIGTERM
        QVERIFY(qvr.waitForFinished(5000));
        QVERIFY(qvr.exitStatus() == QProcess::NormalExit && qvr.exitCode() == 0);
        const QByteArray bytes = ReadFile(log);
        QVERIFY2(bytes.startsWith("GMAX\rGETD\rSESS\rGETD\r") && bytes.endsWith("GETD\rENDS\r"),
                 bytes.constData());
    }
};

QTEST_MAIN(TestE2E)
#include "test_e2e.moc"
