// The SCPI rules of remote control: lines into commands, headers against patterns, numbers with
// units, and the error queue, each a table of what a script sends and what QVR makes of it.
#include "DataLogPage.h"
#include "Module1.h"
#include "Panel.h"
#include "PeerCheck.h"
#include "ProgramPages.h"
#include "PropertiesFrm.h"
#include "RemoteServer.h"
#include "Scpi.h"
#include "ScpiCommands.h"
#include "Setpoints.h"
#include "Tables.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Scpi;

class TestRemote : public QObject {
    Q_OBJECT
private slots:
    // A line, and its commands as the recording notes them, joined by " ; ", then the error
    // for what could not be read (the commands before it still run); where a line ends; and the
    // lines a web browser sends, which no SCPI line resembles.
    void lines() {
        const std::pair<const char *, const char *> cases[] = {
            {"*IDN?", "*IDN?"},
            {"volt 5;curr 0.5", "VOLT 5 ; CURR 0.5"},
            {"SOUR:VOLT 5;CURR 1", "SOUR:VOLT 5 ; SOUR:CURR 1"}, // the path goes on
            {"SOUR:VOLT 5;:CURR 1;*OPC?", "SOUR:VOLT 5 ; CURR 1 ; *OPC?"},
            {"  MEAS:VOLT?  ;", "MEAS:VOLT?"},
            {"PROG:INT:RUN \"a;b, \"\"c\"\"\",3", "PROG:INT:RUN a;b, \"c\",3"},
            {"LOG:REC ON,'run.csv'", "LOG:REC ON,run.csv"},
            {"PROG:INT:RUN \"open", " !-102"},
            {"VOLT 5;PROG:INT:RUN \"open;CURR 1", "VOLT 5 !-102"},
            {"VOLT 5;VOLT% 5;CURR 1", "VOLT 5 !-102"},
        };
        for (const auto &[line, expected] : cases) {
            const Message m = Split(line);
            QStringList got;
            for (const Command &c : m.commands)
                got << c.Text();
            QCOMPARE(got.join(" ; ") + (m.error ? " !" + QString::number(m.error) : ""),
                     QString(expected));
        }
        QCOMPARE(Split(QByteArray(MaxLine + 1, 'A')).error, -223);
        QVERIFY(Split(QByteArray(MaxLine, 'A')).error == 0);
        QCOMPARE(Split("VOLT 5;CURR 1").commands.back().fromRoot, QString("CURR"));
        const QByteArray in = "*IDN?\rVOLT 5\r\nCURR 1\n";
        QCOMPARE(QList<qsizetype>({LineEnd(in), LineEnd(in, 6), LineEnd(in, 13), LineEnd(in, 14),
                                   LineEnd("VOLT 5")}),
                 QList<qsizetype>({5, 12, 13, 20, -1}));
        for (const char *web : {"POST / HTTP/1.1", "GET /x?a=1 HTTP/1.0", "Host: 127.0.0.1:5025",
                                "Content-Type: text/plain", "sec-fetch-mode:\tno-cors"})
            QVERIFY2(WebRequest(web), web);
        for (const char *scpi : {"MEAS:VOLT?", "SOUR:VOLT 5", "LOG:REC ON,\"a: b.csv\"", "*IDN?",
                                 "GET", "POST / HTTX/1.1"})
            QVERIFY2(!WebRequest(scpi), scpi);
        QCOMPARE(QList<Keyword>({NumericKeyword("max"), NumericKeyword(" MINimum"),
                                 NumericKeyword("DEF"), NumericKeyword("MAXI")}),
                 QList<Keyword>({Keyword::Max, Keyword::Min, Keyword::Def, Keyword::None}));
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
        // A long file name in an error is cut to SCPI's 255 characters of description.
        q.Push(-200, QString(300, u'x'));
        const QString cut = q.Next();
        QCOMPARE(cut.size(), 6 + MaxErrorText + 1);
        QVERIFY(cut.endsWith("xxx...\""));
    }

    // What a script sends to a window with a supply, in order: the reply, the bytes that went
    // out on the serial line for it, and the error it left ("" none). The window's own checks,
    // rounding, lines and events hold; the IEEE 488.2 and SCPI-99 status model answers; no box
    // appears.
    void commands() {
        Setpoints::LastSent = {};
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        const QString table = Tables::TableName(Tables::Family::Internal, "ramp");
        w.db().CreateTable(table, Tables::Fields(Tables::Family::Internal));
        for (int step = 1; step <= 10; ++step)
            w.db().AppendRecord(table, {step == 3 ? "45.0" : "2.0", "0.50", "0", "10"});
        w.internalPage->FillList(w.db().TableNames());
        const QString csv = f.dir.filePath("r.csv");
        ScpiCommands::Client client;
        client.Baseline(ScpiCommands::ConditionsOf(w.supply));
        struct Row {
            QString line;
            QByteArray reply, wire, error;
        };
        const QByteArray volts = "Voltage must be 0 or 0.1 - 30 and 1 digit of precision .";
        const QByteArray amps = "Current must be 0.01 - 3 and 2 digit o precision .";
        const Row rows[] = {
            {"VOLT?", "", "", "-200,\"Execution error; no voltage has been set yet\""},
            {"LOG:REC ON,\"" + csv + "\";:LOG:REC?", "1,\"" + csv.toUtf8() + "\"", "", ""},
            {"*IDN?;SYST:VERS?;*OPT?;*TST?", "QVR,30V-3A,0,2.0;1999.0;0;0", "", ""},
            {"volt 5;:CURR 500mA;VOLT?;CURR?", "5.0;0.50", "VOLT050\rCURR050\r", ""},
            {"MEAS:VOLT?;:FETC:CURR?;MODE?", "5.0;0.50;CV", "GETD\r", ""},
            {"VOLT 31", "", "", "-222,\"Data out of range; " + volts + "\""},
            // Rounded as the panel's Set rounds it; what would be 0 A is refused as 0 A is.
            {"SOUR:VOLT:LEV 5.05;:VOLT?", "5.1", "VOLT051\r", ""},
            {"CURR 0", "", "", "-222,\"Data out of range; " + amps + "\""},
            {"CURR 1e-9", "", "", "-222,\"Data out of range; " + amps + "\""},
            {"VOLT MAX;VOLT?;:CURR MIN;CURR?", "30.0;0.01", "VOLT300\rCURR001\r", ""},
            {"VOLT? MAX;VOLT? MIN;CURR? maximum;CURR? DEF", "30.0;0.0;3.00;0.01", "", ""},
            {"VOLT? 5", "", "", "-224,\"Illegal parameter value; MIN, MAX or DEF\""},
            // A command error ends the line; what came before it is done.
            {"VOLT five;:CURR 2", "", "", "-104,\"Data type error\""},
            {"VOLT 2;:BOGUS 1;:CURR 2", "", "VOLT020\r", "-113,\"Undefined header; BOGUS\""},
            {"VOLT 5;VOLT% 1;:CURR 0.5", "", "VOLT050\r", "-102,\"Syntax error\""},
            {"CURR 0.5;:VOLT 40;:*IDN?", "QVR,30V-3A,0,2.0", "CURR050\r",
             "-222,\"Data out of range; " + volts + "\""}, // an execution error goes on
            {"VOLT", "", "", "-109,\"Missing parameter\""},
            {"*IDN? 1", "", "", "-108,\"Parameter not allowed\""},
            {"MEM:REC 10", "", "", "-222,\"Data out of range; memory 10 does not exist\""},
            {"PROG:INT:RUN \"nope\",1", "", "",
             "-200,\"Execution error; there is no table \"\"nope\"\" on the Internal Timed "
             "Program page\""},
            // The page's own message, to the script instead of a box.
            {"PROG:INT:RUN \"ramp\",2", "", "",
             "-200,\"Execution error; Step 3 cannot be sent to the power supply: the voltage 45 V "
             "is above the maximum of 30 V .\""},
            {"*ESR?;*ESR?;*STB?", "48;0;0", "", ""},
            {"*ESE 256", "", "", "-222,\"Data out of range; 0 to 255\""},
            // *OPC's event, through *ESE into the status byte and through *SRE into its bit 6.
            {"*CLS;*ESE 49;*SRE 32;*ESE?;*SRE?;*OPC;*STB?;*ESR?;*STB?", "49;32;96;1;0", "", ""},
            // C.V. to C.C.: the OPERation condition, its latched event and the status byte.
            {"STAT:OPER:COND?;:STAT:QUES:COND?;:STAT:OPER?", "256;0;0", "", ""},
            {"STAT:OPER:ENAB 1024;:CURR 0.1;:MEAS:MODE?;:STAT:OPER:COND?;:*STB?;:STAT:OPER?;"
             ":STAT:OPER?;:*STB?;:STAT:OPER:ENAB?",
             "CC;1024;128;1024;0;0;1024", "CURR010\rGETD\r", ""},
            {"STAT:PRES;:STAT:OPER:ENAB?;:STAT:QUES:ENAB?", "0;0", "", ""},
        };
        for (const Row &r : rows) {
            const qsizetype before = f.port.sent.size();
            const auto reply = ScpiCommands::ExecuteLine(r.line.toUtf8(), client, w.supply, "2.0");
            QCOMPARE(reply.value_or(""), r.reply);
            QCOMPARE(f.port.sent.mid(before), r.wire);
            QCOMPARE(client.errors.Count() ? client.errors.Next() : QString(), QString(r.error));
            QVERIFY2(client.errors.Count() == 0, qPrintable(r.line));
        }
        QCOMPARE(w.panel->Text2[0]->text() + w.panel->Text2[1]->text(), QString("05.0V0.10A"));
        auto run = [&](const QByteArray &line) {
            return ScpiCommands::ExecuteLine(line, client, w.supply, "2.0").value_or("");
        };
        QCOMPARE(run("CURR 0.5;:SYST:ERR?"), "0,\"No error\"");

        // A run the page carries out, locked as for the operator; Stop from the script ends it.
        w.db().RewriteTable(table, Tables::Fields(Tables::Family::Internal),
                            QList<QStringList>(10, {"2.0", "0.50", "0", "10"}));
        w.internalPage->SetName("ramp");
        QCOMPARE(run("STAT:OPER:ENAB 16384;:PROG:INT:RUN \"ramp\",2;:PROG:STAT?;:STAT:OPER?"),
                 QByteArray("INT;16384"));
        QVERIFY(f.port.sent.endsWith("RUNP2\r") && w.internalPage->Running());
        QVERIFY(!w.panel->Text2[0]->isEnabled());
        QCOMPARE(run("VOLT 1;SYST:ERR?"), "-221,\"Settings conflict; an internal program runs\"");
        QCOMPARE(run("PROG:STOP;:PROG:STAT?;:SYST:ERR?"), QByteArray("IDLE;0,\"No error\""));
        QVERIFY(!w.internalPage->Running() && w.panel->Text2[0]->isEnabled());
        // The external page and a preset memory, the same way.
        const QString steps = Tables::TableName(Tables::Family::External, "steps");
        w.db().RewriteTable(steps, Tables::Fields(Tables::Family::External),
                            QList<QStringList>(2, {"3.0", "0.20", "0", "5"}));
        w.externalPage->FillList(w.db().TableNames());
        qsizetype before = f.port.sent.size();
        QCOMPARE(run("PROG:EXT:RUN \"steps\",1;:PROG:STAT?"), QByteArray("EXT,0,1"));
        QTRY_COMPARE(run("PROG:STAT?"), QByteArray("EXT,1,1")); // its first step went out
        QCOMPARE(run("PROG:STOP;:PROG:STAT?;:SYST:ERR?"), QByteArray("IDLE;0,\"No error\""));
        QCOMPARE(f.port.sent.mid(before).replace("GETD\r", ""), "VOLT030\rCURR020\r");
        w.presetPage->FGrid->SetDataRow(2, {"", " 2", "03.0", "0.30"});
        before = f.port.sent.size();
        QCOMPARE(run("MEM:REC 2;:SYST:ERR?"), QByteArray("0,\"No error\""));
        QCOMPARE(f.port.sent.mid(before), "PROM2030030\rRUNM2\r");
        w.centralWidget()->setEnabled(false); // as while Options is open
        for (const char *change : {"VOLT 1", "SENS:COUN:ZERO", "LOG:REC OFF"})
            QCOMPARE(run(change + QByteArray(";:SYST:ERR?")),
                     "-221,\"Settings conflict; the Options dialog is open\"");
        w.centralWidget()->setEnabled(true);
        for (int poll = 0; poll <= 36; ++poll) { // memory 2: 0.3 A for 72 s
            f.clock.advance(2000);
            run("MEAS:CURR?");
        }
        QCOMPARE(run("MEAS:CHAR?;:SENS:COUN:ZERO;:MEAS:CHAR?"), QByteArray("0.006;0.000"));
        // A reply cut short tells the reading but no mode: the script hears no mode.
        f.supply.faults.cutChars = 3;
        QCOMPARE(run("MEAS:VOLT?;:MEAS:MODE?;:SYST:ERR?"),
                 "3.0;-240,\"Hardware error; the supply did not tell its mode\"");
        f.supply.faults.cutChars = 0;

        // The port gone under a script's reading: -240 at once, the window's one message after.
        f.supply.faults.unplugAt = 1;
        f.dialogs.expectMsg("Serial port lost (port 1, sim1)", Dialogs::Answer::Ok,
                            Dialogs::Icon::Exclamation);
        QCOMPARE(run("MEAS:VOLT?;:SYST:ERR?"),
                 QByteArray("-240,\"Hardware error; the supply gave no reading\""));
        QTRY_VERIFY(!Module1::Connected);
        QVERIFY(f.dialogs.allShown());
        QCOMPARE(run("FETC:VOLT?;:SYST:ERR?;:STAT:QUES:COND?;:*TST?"),
                 "-240,\"Hardware error; no supply answers\";515;1");
        // The script ends its own recording; the operator's is the operator's to end.
        QCOMPARE(run("LOG:REC OFF;:LOG:REC?"), QByteArray("0,\"\""));
        const QString events = ReadFile(csv);
        for (const char *event :
             {"script: Set 5.0 V", "script: Set 0.50 A", "script: Set 5.1 V",
              "script: internal program ramp, 2 cycles", "script: program stopped",
              "script: counters zeroed", "port lost"})
            QVERIFY2(events.contains(event), event);
        const QString mine = f.dir.filePath("operator.csv");
        f.dialogs.expectSave(mine);
        w.dataLogPage->MnuRecord->trigger();
        QCOMPARE(run("LOG:REC OFF;:SYST:ERR?;:LOG:REC ON,\"x.csv\";:SYST:ERR?;:LOG:REC?"),
                 "-221,\"Settings conflict; the recording to " + mine.toUtf8() +
                     " was started by the operator\";-221,\"Settings conflict; a recording to " +
                     mine.toUtf8() + " runs\";1,\"" + mine.toUtf8() + "\"");
        QVERIFY(w.dataLogPage->Rec.Active() && f.dialogs.allShown());
    }

    // The loopback server as scripts meet it: replies line by line whatever ends the lines, a
    // 1 MB line refused whole, a fifth client and a client that never reads sent away, a half
    // command dropped with its client while its whole lines are carried out, a long compound
    // line that waits its turns beside another client, a web browser's request refused before
    // any of it runs, and the panel's count of scripts all along.
    void server() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        QCOMPARE(w.SetRemote(true, 0, false), QString());
        const quint16 port = w.remote->Port();
        auto connectOne = [&](bool readAll = true) {
            auto *s = new QTcpSocket(&w);
            if (!readAll)
                s->setReadBufferSize(4096); // and so a full kernel buffer: it never reads
            s->connectToHost(QHostAddress::LocalHost, port);
            return s;
        };
        auto label = [&] { return w.panel->RemoteLabel->text(); };
        QTcpSocket *a = connectOne();
        QTRY_COMPARE(label(), QString("Remote: port %1, 1 script").arg(port));
        a->write("*IDN?\n" + QByteArray(1 << 20, 'A') + "\nSYST:ERR?\r\n*OPC?\r*STB?\n");
        QByteArray got;
        QTRY_VERIFY((got += a->readAll()).count('\n') == 4);
        QCOMPARE(got, "QVR,30V-3A,0,2.0\n-223,\"Too much data\"\n1\n0\n");

        // 581 settings on one line, and another script's question meanwhile: answered within
        // the first few turns, long before the line is through.
        QTcpSocket *b = connectOne();
        QTRY_COMPARE(w.remote->Clients(), 2);
        qsizetype voltsWhenAnswered = -1;
        connect(b, &QTcpSocket::readyRead, [&] {
            if (voltsWhenAnswered < 0)
                voltsWhenAnswered = f.port.sent.count("VOLT");
        });
        const qsizetype volts0 = f.port.sent.count("VOLT");
        a->write("VOLT 1" + QByteArray(";VOLT 2").repeated(580) + ";:*OPC?\n");
        QVERIFY(a->waitForBytesWritten(1000));
        // The question as soon as the line's first turn is done (a QTRY's 50 ms steps would let
        // the whole line through first).
        for (QDeadlineTimer d(5000); f.port.sent.count("VOLT") == volts0 && !d.hasExpired();)
            QCoreApplication::processEvents();
        b->write("*IDN?\n");
        got.clear();
        QTRY_VERIFY((got += a->readAll()) == "1\n");
        QVERIFY2(voltsWhenAnswered - volts0 < 581 - 3 * RemoteServer::CommandsPerTurn,
                 qPrintable(QString::number(voltsWhenAnswered - volts0)));
        QCOMPARE(f.port.sent.count("VOLT") - volts0, 581);
        b->abort();

        QStringList notes;
        connect(w.remote, &RemoteServer::happened, [&](const QString &n) { notes << n; });
        QList<QTcpSocket *> more{connectOne(), connectOne(), connectOne(false), connectOne()};
        QTRY_COMPARE(w.remote->Clients(), 4);
        QTRY_COMPARE(more.back()->state(), QAbstractSocket::UnconnectedState); // the fifth
        const QByteArray ids = "*IDN?" + QByteArray(";*IDN?").repeated(600) + "\n";
        for (int i = 0; i < 400; ++i)
            more[2]->write(ids);
        // Dropped by the server: it cannot tell, reading nothing.
        QTRY_COMPARE_WITH_TIMEOUT(w.remote->Clients(), 3, 20000);

        // Whole lines sent before closing are carried out, the half one after them is not.
        // Known to be this user's first (Wine names a socket's process once it has used it).
        more[0]->write("*CLS\n");
        QTRY_VERIFY(notes.contains(QString("script connected from port %1").arg(more[0]->localPort())));
        qsizetype sent = f.port.sent.size();
        more[0]->write("VOLT 1\nVOLT 2\rVOLT 3\r\nVOLT 7");
        more[0]->disconnectFromHost();
        QTRY_COMPARE(w.remote->Clients(), 2);
        QCOMPARE(f.port.sent.mid(sent).replace("GETD\r", ""), "VOLT010\rVOLT020\rVOLT030\r");
        for (int i = 0; i < 100; ++i) {
            QTcpSocket *c = connectOne();
            QTRY_COMPARE(w.remote->Clients(), 3);
            c->abort();
            QTRY_COMPARE(w.remote->Clients(), 2);
        }
        QCOMPARE(label(), QString("Remote: port %1, 2 scripts").arg(port));

        // A web page's form posted by a browser: the request line sends it away, alone, with
        // its headers, or with its body in a later packet; a header alone does too.
        sent = f.port.sent.size();
        const QByteArray post = "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                                "\r\nContent-Type: text/plain\r\n\r\n";
        for (const QByteArray &request : {post + "\nVOLT 12\n", post,
                                          QByteArray("GET / HTTP/1.1"
                                                     "\r\n"),
                                          QByteArray("Host: x\nVOLT 12\n")}) {
            QTcpSocket *web = connectOne();
            QTRY_COMPARE(w.remote->Clients(), 3);
            web->write(request);
            QTRY_COMPARE(w.remote->Clients(), 2);
            web->write("\nVOLT 12\nCURR 2\n");
            QTRY_COMPARE(web->state(), QAbstractSocket::UnconnectedState);
        }
        QVERIFY(!f.port.sent.mid(sent).contains("VOLT") && !f.port.sent.contains("CURR200"));
        QVERIFY2(w.statusBar()->currentMessage().startsWith(
                     "Remote control refused a web browser's request from port "),
                 qPrintable(w.statusBar()->currentMessage()));

        // A port another program holds, on either address, is told, and nothing listens.
        for (const QHostAddress address : {QHostAddress::LocalHost, QHostAddress::LocalHostIPv6}) {
            QTcpServer squatter;
            if (!squatter.listen(address))
                continue; // a machine without ::1
            QCOMPARE(w.SetRemote(true, squatter.serverPort(), false),
                     QString("Remote control cannot listen on port %1: The bound address is "
                             "already in use (%2) .")
                         .arg(squatter.serverPort())
                         .arg(address.toString()));
            QVERIFY(!w.remote && w.panel->RemoteLabel->isHidden());
        }
        QVERIFY(a->state() == QAbstractSocket::UnconnectedState || a->waitForDisconnected(1000));
    }

    // Options turns remote control on and off by keys and clicks, remembered beside "CommPort"
    // for the next start; a script meanwhile hears that Options is open.
    void options() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        w.show();
        const quint16 port = quint16(40000 + QCoreApplication::applicationPid() % 20000);
        ScpiCommands::Client client;
        QByteArray whileOpen;
        const auto options = [&](bool typePort) {
            QTimer::singleShot(0, [&] {
                auto *d = qobject_cast<PropertiesFrm *>(QApplication::activeModalWidget());
                QVERIFY(d);
                whileOpen = *ScpiCommands::ExecuteLine("VOLT 1;:SYST:ERR?", client, w.supply, "");
                d->ChkRemote->setFocus();
                QTest::keyClick(d->ChkRemote, Qt::Key_Space);
                if (typePort) {
                    QTest::keyClick(d->ChkRemote, Qt::Key_Tab);
                    QTest::keyClick(d->SpnRemotePort, Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClicks(d->SpnRemotePort, QString::number(port));
                }
                QTest::mouseClick(d->CmdOK, Qt::LeftButton);
            });
            w.panel->Command4_Click(2);
        };
        options(true);
        QCOMPARE(whileOpen, "-221,\"Settings conflict; the Options dialog is open\"");
        QVERIFY(w.remote && w.remote->Port() == port && w.panel->RemoteLabel->isVisible());
        QCOMPARE(SettingsTable::ReadRecord(w.db(), "RemoteControl").value_or(""), "1");
        QCOMPARE(SettingsTable::ReadRecord(w.db(), "RemotePort").value_or(""),
                 QString::number(port));
        QCOMPARE(SettingsTable::ReadCommPort(w.db()), std::optional<int>(1));
        options(false);
        QVERIFY(!w.remote && w.panel->RemoteLabel->isHidden());
        QCOMPARE(SettingsTable::ReadRecord(w.db(), "RemoteControl").value_or(""), "0");
        QVERIFY(f.dialogs.allShown());
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

QTEST_MAIN(TestRemote)
#include "test_remote.moc"
