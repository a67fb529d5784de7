#include "Clock.h"
#include "Exchange.h"
#ifndef _WIN32
#include "FileRights.h"
#endif
#include "Module1.h"
#include "PortDevices.h"
#include "PortSettings.h"
#include "ProgramLink.h"
#include "Protocol.h"
#include "SimComm1.h"
#include "SimProcess.h"
#include "SupplyModel.h"
#include "SystemComm1.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <limits>
#ifdef _WIN32
#include <windows.h>
#endif

using namespace Protocol;

class TestLink : public QObject {
    Q_OBJECT
private slots:
    // Every line that carries numbers, and the values that must never become one: a field is
    // exactly its width or the line is not built.
    void commandLines() {
        using ProgramLink::PropLine;
        using ProgramLink::RunpLine;
        QCOMPARE(VoltLine(12.3f) + VoltLine(0.0f), QByteArray("VOLT123\rVOLT000\r"));
        QCOMPARE(CurrLine(0.05f) + CurrLine(9.99f), QByteArray("CURR005\rCURR999\r"));
        QCOMPARE(RunpLine(" 3 "), QByteArray("RUNP3\r"));
        // A field that would not be exactly its width: the line is never built.
        auto refusal = [](const std::function<void()> &build) {
            try {
                build();
            } catch (const FieldError &e) {
                return e.clause();
            }
            return QString();
        };
        const QString cycle = "the run cycle must be one digit from 0 to 9";
        QCOMPARE(refusal([] { VoltLine(-1.0f); }), QString("the voltage -1 V is out of range"));
        QCOMPARE(refusal([] { CurrLine(10.0f); }), QString("the current 10 A is out of range"));
        QCOMPARE(refusal([] { VoltLine(std::numeric_limits<float>::quiet_NaN()); }),
                 QString("the voltage nan V is out of range"));
        const ProgramLink::StepText high{"150", "0.10", "00", "13"},
            minute{"1", "1", "123456789012345", "1"};
        QCOMPARE(refusal([&] { PropLine(9, high); }), QString("the voltage 150 V is out of range"));
        QCOMPARE(refusal([&] { PropLine(0, minute); }),
                 QString("the minute value 123456789012345 is out of range"));
        QCOMPARE(refusal([] { ProgramLink::PromLine(1, 0, 15); }),
                 QString("the current 15 A is out of range"));
        QCOMPARE(refusal([] { RunpLine(""); }) + refusal([] { RunpLine("a"); }), cycle + cycle);
    }

    // Every reply parser: GETD's fields and mode character, the mode digit (C.C. and a program
    // running, as two bits; anything else is no mode), GMAX, and the "OK" checks.
    void replies() {
        struct Case {
            QByteArray reply;
            float volt, curr;
            const char *mode; // empty: no mode character
        };
        const Case cases[]{
            {"GETD\r1231251xy", 12.3f, 1.25f, "1"}, // 14 characters, C.C.
            {"GETD\r1231250", 12.3f, 1.25f, "0"},
            {"GETD\r123125", 12.3f, 1.25f, ""}, // 11 characters: no mode
            {"GETD\r1231", 12.3f, 0.01f, ""},   // a short field
            {"GETD\r", 0, 0, ""},               // the echo only
            {"", -1, -1, ""},
            {QByteArray("GETD\r#?X\0\xb5\xff#?X", 14), 0, 0, "#"}, // noise, NUL, bytes > 127
            {"GETD\r3003003OKjunk", 30, 3, "3"},
        };
        for (const Case &c : cases) {
            const Reading r = ParseGetd(c.reply);
            QCOMPARE(r.volt, c.volt);
            QCOMPARE(r.curr, c.curr);
            QCOMPARE(r.mode ? QString(QChar(*r.mode)) : QString(), QString(c.mode));
        }
        QString modes;
        for (char c : QByteArray("01234# ")) {
            const auto m = DecodeMode(c);
            modes +=
                !m ? QString("-") : QString::number(m->constantCurrent + 2 * m->programRunning);
        }
        QCOMPARE(modes, QString("0123---"));
        // GMAX: zero limits are no answer; start-up cuts fields from whatever came, the reset
        // form refuses fewer than 11 characters.
        const Limits l = ParseGmax("GMAX\r300300");
        QVERIFY(l.answered() && l.volt == 30.0f && l.curr == 3.0f);
        QVERIFY(!ParseGmax("GMAX\r000300").answered() && !ParseGmax("GMAX\r300000").answered() &&
                !ParseGmax("").answered());
        QCOMPARE(ParseGmax("GMAX\r30030").curr, 0.3f);
        QCOMPARE(ParseGmaxStrict("GMAX\r30030").volt, 0.0f);
        QCOMPARE(ParseGmaxStrict("GMAX\r300300").curr, 3.0f);
        QString ok;
        for (const char *reply : {"STOP\rOK", "STOP\rOKjunk", "STOP\rO", "STOP\rNO", ""})
            ok += StopAccepted(reply) ? '1' : '0';
        QCOMPARE(ok, QString("11000"));
        QVERIFY(SetpointAccepted("VOLT123\rOK") && !SetpointAccepted("VOLT123\rO"));
    }

    // The simulated supply's loads: a schedule of resistances, and a cell charged at constant
    // current, then constant voltage with the current tapering off, as the GETD replies say.
    void simulatedLoads() {
        using SimLoad::ParseSchedule;
        QCOMPARE(ParseSchedule("10")->size(), size_t(1));
        const auto s = ParseSchedule("10,2@30s,10@40.5s,3@41000ms");
        QVERIFY(s && s->size() == 4 && (*s)[1].fromMs == 30000 && (*s)[2].fromMs == 40500 &&
                (*s)[3].ohm == 3.0f);
        for (const char *bad : {"x", "0", "10,2", "10,2@-1s", "10,2@30s,3@20s", "10,2@s"})
            QVERIFY2(!ParseSchedule(bad), bad);
        SupplyModel load;
        load.loadSchedule = *ParseSchedule("2@30s,10@40s");
        load.Receive("VOLT120\rCURR300\r", 0);
        const auto getd = [](SupplyModel &m, qint64 ms) { return m.Receive("GETD\r", ms); };
        QCOMPARE(getd(load, 5000), QByteArray("GETD\r1201200OK")); // the first reading: t = 0
        QCOMPARE(getd(load, 34999), QByteArray("GETD\r1201200OK"));
        QCOMPARE(getd(load, 35000), QByteArray("GETD\r0603001OK")); // 2 ohm: limited, C.C.
        QCOMPARE(getd(load, 45000), QByteArray("GETD\r1201200OK"));

        // 2 Ah at 4.2 V and 1 A, 100 times faster: C.C. until the open-circuit voltage plus
        // what the internal 0.1 ohm drops reaches 4.2 V (about 91.7 % charged), then C.V.
        SupplyModel battery;
        battery.cell = SimLoad::Cell::Parse("2");
        battery.cell->speed = 100;
        battery.Receive("VOLT042\rCURR100\r", 0);
        qint64 ms = 0, cvAt = -1;
        QByteArray reply = getd(battery, 0);
        QCOMPARE(reply, QByteArray("GETD\r0381001OK")); // 3.65 V + 0.1 V: below 4.2, C.C.
        float lastCurr = 1;
        for (; ms < 600000; ms += 300) {
            reply = getd(battery, ms);
            const Reading r = ParseGetd(reply);
            if (cvAt < 0 && *r.mode == '0')
                cvAt = ms;
            if (cvAt >= 0) {
                QCOMPARE(r.volt, 4.2f);
                QVERIFY(r.curr <= lastCurr); // tapering, never rising again
                lastCurr = r.curr;
            }
            if (r.curr < 0.05f)
                break;
        }
        // (0.917 - 0.2) x 2 Ah at 1 A is 5160 s of chemistry: 51.6 s.
        QVERIFY2(std::abs(cvAt - 51600) < 600, qPrintable(QString::number(cvAt)));
        QVERIFY2(ms > cvAt + 10000 && battery.cell->charged < 1.0,
                 qPrintable(QString::number(ms)));
        QCOMPARE(SimLoad::Cell::Parse("2,12.6,0.3")->OpenVolt(1), 12.6);
        QVERIFY(!SimLoad::Cell::Parse("2,4.2") && !SimLoad::Cell::Parse("-1"));
    }

    void portSettingsText() {
        for (const char *text : {"9600,N,8,1", "9600,N,8,1.5", "19200,E,7,2", "110,M,5,1"}) {
            auto s = PortSettings::parse(text);
            QVERIFY2(s, text);
            QCOMPARE(s->text(), QString(text));
        }
        QCOMPARE(PortSettings::parse(" 9600 ,n, 8 ,1.5")->text(), QString("9600,N,8,1.5"));
        for (const char *bad : {"", "9600,N,8", "fast,N,8,1", "9600,X,8,1", "9600,N,9,1",
                                "9600,N,8,3", "9600,N,8,1,0"})
            QVERIFY2(!PortSettings::parse(bad), bad);
    }

#ifndef Q_OS_WIN
    // The variable, then the device assigned in Options, then the port number's own; a stable
    // by-id name is preferred for an assignment.
    void portNumbersMapToDevices() {
        qunsetenv("QVR_COM3");
        QCOMPARE(DevicePathFor(3) + ' ' + PortDevices::Origin(3),
                 QString("/dev/ttyS2 the default"));
        PortDevices::Assign(3, "/dev/serial/by-id/usb-FTDI-if00-port0");
        QCOMPARE(DevicePathFor(3) + ' ' + PortDevices::Origin(3),
                 QString("/dev/serial/by-id/usb-FTDI-if00-port0 assigned in Options"));
        qputenv("QVR_COM3", "/dev/ttyUSB0");
        QCOMPARE(DevicePathFor(3) + ' ' + PortDevices::Origin(3),
                 QString("/dev/ttyUSB0 the variable QVR_COM3"));
        qunsetenv("QVR_COM3");
        PortDevices::Assign(3, QString());
        QCOMPARE(DevicePathFor(3), QString("/dev/ttyS2"));
        QCOMPARE(PortDevices::PortOfRecord(PortDevices::RecordName(12)), std::optional<int>(12));
        QVERIFY(!PortDevices::PortOfRecord("CommPort") && !PortDevices::PortOfRecord("ComDevicex"));
        QTemporaryDir dir;
        QFile device(dir.filePath("ttyUSB7"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        QDir(dir.path()).mkdir("by-id");
        QVERIFY(QFile::link(device.fileName(), dir.filePath("by-id/usb-Acme-if00")));
        QCOMPARE(PortDevices::StablePath(device.fileName(), dir.filePath("by-id")),
                 dir.filePath("by-id/usb-Acme-if00"));
        QCOMPARE(PortDevices::StablePath(dir.filePath("by-id"), dir.filePath("by-id")),
                 dir.filePath("by-id")); // nothing leads to it: itself
    }

    // A device that cannot be opened is named, with what to do about it; nothing goes out
    // through a port that never opened.
    void portOpenFailures() {
        SimProcess sim({});
        QVERIFY(sim.started());
        QFile::setPermissions(sim.device(), QFileDevice::Permissions());
        qputenv("QVR_COM5", sim.device().toLocal8Bit());
        qputenv("QVR_COM7", "/nonexistent/qvr-tty");
        qputenv("USER", "op");
        FolderRightsApply asAnOperator;
        for (const QString &reason :
             {"Cannot open serial port (port 5, " + sim.device() +
                  "): Permission denied. Serial ports belong to the group dialout: add the user "
                  "to it (sudo adduser op dialout), then log out and in again.",
              QString("Cannot open serial port (port 7, /nonexistent/qvr-tty): ")}) {
            SerialComm1 port;
            port.setCommPort(reason.contains("port 5") ? 5 : 7);
            try {
                port.setPortOpen(true);
                QFAIL("opened a device that cannot be opened");
            } catch (const CommError &e) {
                QVERIFY2(e.description().startsWith(reason), e.what());
            }
            QVERIFY(!port.PortOpen());
            QVERIFY_THROWS_EXCEPTION(CommError, port.Output("GETD\r"));
        }
        // A device another program holds is named with its holder, not blamed on the groups.
        QFile::setPermissions(sim.device(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther);
        SerialComm1 holder, second;
        holder.setCommPort(5);
        holder.setPortOpen(true);
        second.setCommPort(5);
        try {
            second.setPortOpen(true);
            QFAIL("opened a device another port holds");
        } catch (const CommError &e) {
            QCOMPARE(e.description(),
                     QStringLiteral("Cannot open serial port (port 5, %1): another program, "
                                    "test_link (process %2 on %3), is using it. Close it there, "
                                    "or give this QVR another port in Options.")
                         .arg(sim.device())
                         .arg(QCoreApplication::applicationPid())
                         .arg(QSysInfo::machineHostName()));
        }
        holder.setPortOpen(false);
        second.setPortOpen(true); // free again
        QVERIFY(second.PortOpen());
        SerialComm1 port;
        QVERIFY_THROWS_EXCEPTION(CommError, port.setSettings("9600,Q,8,1"));
        qunsetenv("QVR_COM5");
        qunsetenv("QVR_COM7");
    }
#else
    // The Win32 port's rules: the name CreateFile needs from COM10 up, the line settings and
    // flow control in the DCB, and the registry's list of ports by number.
    void win32PortRules() {
        QCOMPARE(DevicePathFor(4), QString("COM4"));
        QCOMPARE(Win32Port::DeviceName("COM12"), QString("\\\\.\\COM12"));
        QCOMPARE(Win32Port::DeviceName("\\\\.\\COM3"), QString("\\\\.\\COM3"));
        struct Row {
            const char *settings;
            int flow;
            int parity, stop;
            bool xon, cts;
        };
        for (const Row &r : {Row{"9600,N,8,1", 0, NOPARITY, ONESTOPBIT, false, false},
                             Row{"19200,E,7,2", 1, EVENPARITY, TWOSTOPBITS, true, false},
                             Row{"4800,O,8,1.5", 2, ODDPARITY, ONE5STOPBITS, false, true},
                             Row{"9600,S,8,1", 3, SPACEPARITY, ONESTOPBIT, true, true}}) {
            const PortSettings ps = *PortSettings::parse(r.settings);
            DCB dcb{};
            QVERIFY(Win32Port::FillDcb(dcb, ps, r.flow));
            QCOMPARE(QString("%1,%2,%3").arg(dcb.BaudRate).arg(dcb.ByteSize).arg(dcb.fParity),
                     QString("%1,%2,%3").arg(ps.baud).arg(ps.dataBits).arg(r.parity != NOPARITY));
            QVERIFY2(dcb.Parity == r.parity && dcb.StopBits == r.stop && dcb.fBinary, r.settings);
            QVERIFY2(bool(dcb.fOutX) == r.xon && bool(dcb.fInX) == r.xon, r.settings);
            QVERIFY2(bool(dcb.fOutxCtsFlow) == r.cts &&
                         dcb.fRtsControl == (r.cts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE),
                     r.settings);
        }
        QStringList listed;
        for (const auto &d : Win32Port::Listed({{"\\Device\\VCP0", "COM10"},
                                                {"\\Device\\Serial0", "COM1"},
                                                {"\\Device\\USBSER000", "COM3"}}))
            listed << d.path + " | " + d.label;
        QCOMPARE(listed, QStringList({"COM1 | COM1 - Serial0", "COM3 | COM3 - USBSER000",
                                      "COM10 | COM10 - VCP0"}));
        // An adapter SetupAPI describes: its friendly name, remembered by its interface path.
        const QString usb = "\\\\?\\usb#vid_0403&pid_6001#6&1a2b&0&2#{86e0d1e0-8089-11d0-9ce4-"
                            "08003e301f73}";
        listed.clear();
        for (const auto &d : Win32Port::Listed({{"\\Device\\VCP0", "COM10"},
                                                {"\\Device\\USBSER000", "COM5"}},
                                               {{usb, "USB Serial Port (COM5)", "com5"}}))
            listed << d.path + " | " + d.label;
        QCOMPARE(listed, QStringList({usb + " | USB Serial Port (COM5)", "COM10 | COM10 - VCP0"}));
    }

    // The real port under Wine, where scripts/windows.sh has put the simulated supply on COM1:
    // a reply read, a silent wait bounded by its time-out, stale input cleared, a missing port
    // named, and the port opened again after a close.
    void win32PortOnTheLine() {
        if (qEnvironmentVariable("QVR_TEST_COM1") != "sim")
            QSKIP("COM1 is not the simulated supply (scripts/windows.sh --check sets it up)");
        Clock &clock = SystemClock::instance();
        for (int round = 0; round < 2; ++round) {
            Win32Comm1 port;
            port.setCommPort(1);
            port.setPortOpen(true);
            QCOMPARE(Exchange(port, clock, Line("GMAX"), GmaxStartupWait),
                     QByteArray("GMAX\r3003000OK"));
            QElapsedTimer waited;
            waited.start();
            QVERIFY(!port.WaitForChars(1, 200));
            QVERIFY2(waited.elapsed() >= 190 && waited.elapsed() < 600,
                     qPrintable(QString::number(waited.elapsed())));
            port.Output("GETD\r");
            QVERIFY(port.WaitForChars(14, 1000));
            port.ClearInBuffer();
            QCOMPARE(port.InBufferCount(), 0);
            QCOMPARE(port.Input(), QByteArray());
            port.setPortOpen(false);
            QVERIFY(!port.PortOpen());
        }
        Win32Comm1 missing;
        missing.setCommPort(200);
        try {
            missing.setPortOpen(true);
            QFAIL("opened COM200");
        } catch (const CommError &e) {
            QCOMPARE(e.description(), QString("Cannot open serial port (port 200, COM200): COM200 "
                                              "does not exist (adapter unplugged?)"));
        }
        QVERIFY_THROWS_EXCEPTION(CommError, missing.Output("GETD\r"));
    }
#endif

    // Stale input cleared, the line out, the reply read, and the wait's arithmetic.
    void exchange() {
        SupplyModel supply;
        ManualClock clock;
        SimComm1 port(supply, clock);
        port.setPortOpen(true);
        port.inject("stale bytes");
        QCOMPARE(Exchange(port, clock, Line("GETD"), GetdWait), QByteArray("GETD\r0000000OK"));
        QCOMPARE(port.events,
                 QStringList({"clear-in", "clear-out", "out:GETD\r", "in:GETD\r0000000OK"}));
        QCOMPARE(Module1::LastReply, QString("GETD\r0000000OK"));
        QCOMPARE(clock.MonotonicMs(), qint64(0)); // the reply was there at once
        // 9600 baud: 5 characters out, 14 back, 1.042 ms each.
        SimComm1 paced(supply, clock, 1042);
        paced.setPortOpen(true);
        QCOMPARE(Exchange(paced, clock, Line("GETD"), GetdWait).size(), 14);
        QCOMPARE(clock.MonotonicMs(), qint64(20)); // ceil(19 x 1.042)

        supply.faults.silent = true;
        clock.setMonotonicMs(1000);
        QCOMPARE(Exchange(paced, clock, Line("GETD"), GetdWait), QByteArray());
        QCOMPARE(clock.MonotonicMs(), qint64(1200));
        QCOMPARE(Module1::WaitStart, 1.0);

        // Fewer characters than asked for: the wait runs to its end and returns what came.
        supply.faults = {};
        supply.faults.cutChars = 1;
        clock.setMonotonicMs(0);
        QCOMPARE(Exchange(paced, clock, Line("STOP"), StopWait), QByteArray("STOP\rO"));
        QCOMPARE(clock.MonotonicMs(), qint64(300));
        QVERIFY(!StopAccepted(Module1::LastReply.toLatin1()));
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"
