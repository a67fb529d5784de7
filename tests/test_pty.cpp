// The exchange over a real pseudo-terminal against qvr-supply-sim.
#include "Clock.h"
#include "Exchange.h"
#include "Module1.h"
#include "SerialComm1.h"
#include "SimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Protocol;

class TestPty : public QObject {
    Q_OBJECT

    // Points port 1 at the simulator and opens it.
    static void attach(SimProcess &sim, SerialComm1 &port) {
        QVERIFY2(sim.started(), "qvr-supply-sim did not start");
        qputenv(sim.variable().toLatin1(), sim.device().toLatin1());
        port.setCommPort(1);
        port.setPortOpen(true);
    }

private slots:
    void exactBytesAndClearedBuffers() {
        QTemporaryDir dir;
        const QString log = dir.filePath("rx.log");
        SimProcess sim({"--log", log});
        SerialComm1 port;
        attach(sim, port);
        auto &clock = SystemClock::instance();
        QCOMPARE(port.Settings(), QString("9600,N,8,1"));
        QCOMPARE(Exchange(port, clock, Line("GETD"), GetdWait), QByteArray("GETD\r0000000OK"));

        // A reply nobody waited for is discarded by the next exchange.
        Exchange(port, clock, Line("GMAX"), {1, 0.0});
        QThread::msleep(100);
        QCOMPARE(Exchange(port, clock, VoltLine(12.3f), SetpointWait), QByteArray("VOLT123\rOK"));
        QCOMPARE(Exchange(port, clock, Line("GETD"), GetdWait), QByteArray("GETD\r1231230OK"));
        port.setPortOpen(false);
        sim.stop();
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("GETD\rGMAX\rVOLT123\rGETD\r"));
    }

    void silentSupplyTimesOut() {
        SimProcess sim({"--silent"});
        SerialComm1 port;
        attach(sim, port);
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer t;
            t.start();
            QCOMPARE(Exchange(port, SystemClock::instance(), Line("GETD"), GetdWait), QByteArray());
            const qint64 ms = t.elapsed();
            QVERIFY2(ms >= 200 && ms < 220, qPrintable(QString::number(ms)));
        }
    }

    void pacedLineAndFaults() {
        SimProcess sim({"--baud", "9600", "--only", "GMAX", "--answer-from", "3"});
        SerialComm1 port;
        attach(sim, port);
        auto &clock = SystemClock::instance();
        QVERIFY(!ParseGmax(Exchange(port, clock, Line("GMAX"), GmaxStartupWait)).answered());
        QVERIFY(!ParseGmax(Exchange(port, clock, Line("GMAX"), GmaxStartupWait)).answered());
        const Limits l = ParseGmax(Exchange(port, clock, Line("GMAX"), GmaxStartupWait));
        QCOMPARE(l.volt, 30.0f);
        QCOMPARE(l.curr, 3.0f);
        QCOMPARE(Exchange(port, clock, Line("GETD"), GetdWait).size(), 14);
    }

    void garbageAndUnplug() {
        SimProcess sim({"--garbage", "--unplug-after", "2"});
        SerialComm1 port;
        attach(sim, port);
        auto &clock = SystemClock::instance();
        const Reading r = ParseGetd(Exchange(port, clock, Line("GETD"), GetdWait));
        QCOMPARE(r.volt, 0.0f);
        QCOMPARE(r.curr, 0.0f);
        // The port goes after the second line: from then on every exchange fails quickly with
        // a description that names the device, or returns nothing; none hangs.
        int failures = 0;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer t;
            t.start();
            try {
                Exchange(port, clock, Line("GETD"), GetdWait);
            } catch (const CommError &e) {
                ++failures;
                QVERIFY2(e.description().contains(sim.device()), e.what());
            }
            QVERIFY(t.elapsed() < 250);
        }
        QVERIFY(failures >= 1);
        QVERIFY(!port.PortOpen()); // closed, so that it can be opened again
    }
};

QTEST_GUILESS_MAIN(TestPty)
#include "test_pty.moc"
