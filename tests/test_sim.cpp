#include "SupplyModel.h"

#include <QTest>

// The simulated supply is a test instrument: these pin down what later tests rely on.
class TestSim : public QObject {
    Q_OBJECT

    static QByteArray ask(SupplyModel &m, const QByteArray &line, qint64 nowMs = 0) {
        return m.Receive(line + '\r', nowMs);
    }

private slots:
    void outputAndLimits() {
        SupplyModel m;
        QCOMPARE(ask(m, "GMAX"), QByteArray("GMAX\r3003000OK"));
        m.maxVolt = 60;
        m.maxCurr = 5;
        QCOMPARE(ask(m, "GMAX"), QByteArray("GMAX\r6005000OK"));
        m.maxVolt = 30;
        m.maxCurr = 3;
        QCOMPARE(ask(m, "VOLT123"), QByteArray("VOLT123\rOK"));
        QCOMPARE(ask(m, "CURR200"), QByteArray("CURR200\rOK"));
        // 12.3 V into 10 ohm draws 1.23 A, under the 2 A limit: constant voltage.
        QCOMPARE(ask(m, "GETD"), QByteArray("GETD\r1231230OK"));
        QCOMPARE(ask(m, "CURR050"), QByteArray("CURR050\rOK"));
        // Limit 0.5 A: constant current at 5.0 V.
        QCOMPARE(ask(m, "GETD"), QByteArray("GETD\r0500501OK"));
        ask(m, "VOLT999"); // beyond the maximum: held at 30 V
        QCOMPARE(m.setVolt(), 30.0f);
        QCOMPARE(ask(m, "SESS"), QByteArray("SESS\r"));
        QVERIFY(m.remote());
        QCOMPARE(ask(m, "ENDS"), QByteArray("ENDS\r"));
        QVERIFY(!m.remote());
        QCOMPARE(ask(m, "HUH?"), QByteArray("HUH?\r"));
        // Characters may come one at a time.
        QCOMPARE(m.Receive("GE", 0), QByteArray());
        QCOMPARE(m.Receive("TD\r", 0).left(5), QByteArray("GETD\r"));
    }

    void internalProgramRunsOnItsOwnClock() {
        SupplyModel m;
        QCOMPARE(ask(m, "PROP0125200"
                        "0005"),
                 QByteArray("PROP01252000005\rOK"));
        QCOMPARE(ask(m, "PROP1050050"
                        "0010"),
                 QByteArray("PROP10500500010\rOK"));
        const QByteArray getp = ask(m, "GETP");
        QCOMPARE(getp.size(), 127);
        QCOMPARE(getp.mid(5, 12), QByteArray("01252000005;"));
        QCOMPARE(getp.mid(17, 12), QByteArray("10500500010;"));
        QVERIFY(getp.endsWith("OK"));

        // Two cycles of 5 s + 10 s.
        QCOMPARE(ask(m, "RUNP2", 1000), QByteArray("RUNP2\rOK"));
        QCOMPARE(ask(m, "GETD", 2000).mid(5, 7), QByteArray("1251252"));  // step 1, C.V.
        QCOMPARE(ask(m, "GETD", 7000).mid(5, 7), QByteArray("0500502"));  // step 2
        QCOMPARE(ask(m, "GETD", 17000).mid(5, 7), QByteArray("1251252")); // cycle 2
        QCOMPARE(ask(m, "GETD", 31000).at(11), '0');                      // both cycles done
        ask(m, "RUNP0", 40000);                                           // endless
        QCOMPARE(ask(m, "GETD", 40000 + 15000 * 7 + 1000).at(11), '2');
        QCOMPARE(ask(m, "STOP", 200000), QByteArray("STOP\rOK"));
        QCOMPARE(ask(m, "GETD", 200001).at(11), '0');
    }

    void presetMemories() {
        SupplyModel m;
        QCOMPARE(ask(m, "PROM3125125"), QByteArray("PROM3125125\rOK"));
        QCOMPARE(ask(m, "PROM9300010"), QByteArray("PROM9300010\rOK"));
        const QByteArray getm = ask(m, "GETM0");
        QCOMPARE(getm.size(), 71);
        QCOMPARE(getm.mid(7 * 3 - 1, 6), QByteArray("125125"));
        QCOMPARE(getm.mid(63 - 1, 6), QByteArray("300010")); // memory 9 at 63-68
        QCOMPARE(ask(m, "RUNM3"), QByteArray("RUNM3\rOK"));
        QCOMPARE(m.setVolt(), 12.5f);
        QCOMPARE(m.setCurr(), 1.25f);
    }

    void resetSilence() {
        SupplyModel m;
        QCOMPARE(ask(m, "SRST", 0), QByteArray("SRST\r"));
        QCOMPARE(ask(m, "GETD", 9999), QByteArray());
        QCOMPARE(ask(m, "GETD", 10000).size(), 14);
    }
};

QTEST_APPLESS_MAIN(TestSim)
#include "test_sim.moc"
