// The SCPI rules of remote control: lines into commands, headers against patterns, numbers with
// units, and the error queue, each a table of what a script sends and what QVR makes of it.
#include "PeerCheck.h"
#include "Scpi.h"

#include <QTest>

using namespace Scpi;

class TestRemote : public QObject {
    Q_OBJECT
private slots:
    // A line, and its commands as the recording notes them, joined by " ; ", or the error code.
    void lines() {
        const std::pair<const char *, const char *> cases[] = {
            {"*IDN?", "*IDN?"},
            {"volt 5;curr 0.5", "VOLT 5 ; CURR 0.5"},
            {"SOUR:VOLT 5;CURR 1", "SOUR:VOLT 5 ; SOUR:CURR 1"}, // the path goes on
            {"SOUR:VOLT 5;:CURR 1;*OPC?", "SOUR:VOLT 5 ; CURR 1 ; *OPC?"},
            {"  MEAS:VOLT?  ;", "MEAS:VOLT?"},
            {"PROG:INT:RUN \"a;b, \"\"c\"\"\",3", "PROG:INT:RUN a;b, \"c\",3"},
            {"LOG:REC ON,'run.csv'", "LOG:REC ON,run.csv"},
            {"PROG:INT:RUN \"open", "-102"},
            {"VOLT% 5", "-102"},
        };
        for (const auto &[line, expected] : cases) {
            const Message m = Split(line);
            QStringList got;
            for (const Command &c : m.commands)
                got << c.Text();
            QCOMPARE(m.error ? QString::number(m.error) : got.join(" ; "), QString(expected));
        }
        QCOMPARE(Split(QByteArray(MaxLine + 1, 'A')).error, -223);
        QVERIFY(Split(QByteArray(MaxLine, 'A')).error == 0);
        QCOMPARE(Split("VOLT 5;CURR 1").commands.back().fromRoot, QString("CURR"));
    }

    void headers() {
        const QString volt = "[SOURce:]VOLTage[:LEVel][:IMMediate]";
        for (const char *header : {"VOLT", "volt", "VOLTAGE", "SOUR:VOLT", "source:volt:lev:imm",
                                   "VOLT:IMM", "VOLT:LEVEL"})
            QVERIFY2(Matches(volt, header), header);
        for (const char *header : {"VOL", "VOLTA", "SOUR", "VOLT:IMM:LEV", "CURR", "SOUR:VOLT:X"})
            QVERIFY2(!Matches(volt, header), header);
        QVERIFY(Matches("SYSTem:ERRor[:NEXT]", "SYST:ERR") && Matches("*IDN", "*idn"));
        QVERIFY(Matches("MEASure[:SCALar]:VOLTage", "MEAS:SCAL:VOLT") && !Matches("*IDN", "IDN"));
    }

    void numbers() {
        const std::pair<const char *, double> good[] = {
            {"5", 5},  {"5.0", 5},     {"+.5", 0.5},    {"5e-1", 0.5},
            {"5V", 5}, {"500mV", 0.5}, {"500 MV", 0.5}, {" 2.5 v ", 2.5}};
        for (const auto &[text, value] : good)
            QCOMPARE(Number(text, "V"), std::optional<double>(value));
        for (const char *text : {"", "five", "5A", "5 kA V", "1e999", "nan", "5mA", "0x10"})
            QVERIFY2(!Number(text, "V"), text);
        QCOMPARE(Number("250mA", "A"), std::optional<double>(0.25));
    }

    // Oldest first, "No error" when empty, QVR's own text after the standard one, and a full
    // queue's newest entry turned into -350.
    void errorQueue() {
        ErrorQueue q;
        QCOMPARE(q.Next(), QString("0,\"No error\""));
        q.Push(-222);
        q.Push(-200, "Step 1 has no \"time\"");
        const QString first = q.Next();
        QCOMPARE(first + q.Next(), QString("-222,\"Data out of range\"-200,\"Execution error; "
                                           "Step 1 has no \"\"time\"\"\""));
        for (int i = 0; i < QueueSize + 3; ++i)
            q.Push(-113);
        QCOMPARE(q.Count(), QueueSize);
        for (int i = 1; i < QueueSize; ++i)
            QCOMPARE(q.Next(), QString("-113,\"Undefined header\""));
        QCOMPARE(q.Next(), QString("-350,\"Queue overflow\""));
    }

    // The client's end of 127.0.0.1:5025 <- :54321 and of [::1]:5025 <- :40000 in the kernel's
    // tables: the server's own end and a remote host's socket with the same ports are not it.
    void peerUser() {
        const QByteArray v4 =
            "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid\n"
            "   0: 0100007F:13A1 0100007F:D431 01 00000000:00000000 00:00000000 00000000  1000\n"
            "   1: 0500000A:D431 08080808:13A1 01 00000000:00000000 00:00000000 00000000     0\n"
            "   2: 0100007F:D431 0100007F:13A1 01 00000000:00000000 00:00000000 00000000  1001\n";
        const QByteArray v6 = "0: 00000000000000000000000001000000:9C40 "
                              "00000000000000000000000001000000:13A1 01 0:0 0:0 0 1002\n";
        QCOMPARE(PeerCheck::ClientUid(v4, 5025, 54321), std::optional<unsigned>(1001));
        QCOMPARE(PeerCheck::ClientUid(v6, 5025, 40000), std::optional<unsigned>(1002));
        QVERIFY(!PeerCheck::ClientUid(v4, 5025, 40000) && !PeerCheck::ClientUid("junk:", 1, 2));
    }
};

QTEST_APPLESS_MAIN(TestRemote)
#include "test_remote.moc"
