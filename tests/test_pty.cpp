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
};

QTEST_GUILESS_MAIN(TestPty)
#include "test_pty.moc"
