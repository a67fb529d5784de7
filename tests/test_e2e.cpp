// The qvr executable itself against qvr-supply-sim on a pseudo-terminal. Every page against every
// fault of the line, a pulled adapter and the automatic reconnect among them, is in test_faults.
#include "SimProcess.h"
#include "WindowFixture.h"

#include <QDir>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

class TestE2E : public QObject {
    Q_OBJECT
private slots:
    // The qvr executable itself, recording as "--record" asks: SIGTERM while it polls ends it in
    // order with status 0, the recording's end line written (every moment of start-up, open
    // boxes among them, is in test_window).
    void programEndsOnSigterm() {
        QTemporaryDir dir;
        const QString log = dir.filePath("rx.log");
        SimProcess sim({"--log", log});
        QVERIFY(sim.started());
        RememberPortIn(dir.path(), 1);
        qputenv("QVR_DATA_DIR", QFile::encodeName(dir.path())); // qvr runs offscreen, as this test
        qputenv(qPrintable(sim.variable()), QFile::encodeName(sim.device()));
        QProcess qvr;
        const QString csv = dir.filePath("run.csv");
        qvr.start(QCoreApplication::applicationDirPath() + "/qvr", {"--record", csv});
        // Offscreen there is no window activation: polling must start all the same.
        QTRY_VERIFY_WITH_TIMEOUT(ReadFile(log).contains("GETD\rGETD\rGETD\rGETD\r"), 5000);
        qvr.terminate(); // SIGTERM
        QVERIFY(qvr.waitForFinished(5000));
        QVERIFY(qvr.exitStatus() == QProcess::NormalExit && qvr.exitCode() == 0);
        const QByteArray bytes = ReadFile(log);
        QVERIFY2(bytes.startsWith("GMAX\rGETD\rSESS\rGETD\r") && bytes.endsWith("GETD\rENDS\r"),
                 bytes.constData());
        QVERIFY2(ReadFile(csv).endsWith(",recording ended\n"), ReadFile(csv).constData());
    }

    // Benches side by side: each QVR with its own --data folder, --name and --metrics port; a
    // second one on a folder the first holds is refused with the first named.
    void benchesSideBySide() {
        QTemporaryDir dir;
        SimProcess simA({}), simB({});
        QVERIFY(simA.started() && simB.started());
        const QString a = dir.filePath("a"), b = dir.filePath("b");
        QDir().mkpath(a);
        QDir().mkpath(b);
        RememberPortIn(a, 1);
        RememberPortIn(b, 2);
        qputenv("QVR_COM1", QFile::encodeName(simA.device()));
        qputenv("QVR_COM2", QFile::encodeName(simB.device()));
        qunsetenv("QVR_DATA_DIR");
        const QString qvr = QCoreApplication::applicationDirPath() + "/qvr";
        QProcess first, second, third;
        const quint16 port = 20000 + quint16(QCoreApplication::applicationPid() % 20000);
        first.start(qvr, {"--data", a, "--name", "bench A", "--metrics", QString::number(port)});
        second.start(qvr, {"--data", b, "--metrics", "127.0.0.1:" + QString::number(port + 1)});
        const auto scrape = [](quint16 at) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, at);
            s.waitForConnected(500);
            s.write("GET /metrics HTTP/1.1\r\n\r\n");
            QByteArray got;
            for (int i = 0; i < 50 && !got.contains("# TYPE qvr_guard_state"); ++i)
                s.waitForReadyRead(20), got += s.readAll();
            return got;
        };
        QTRY_VERIFY_WITH_TIMEOUT(scrape(port).contains("\nqvr_link_up 1\n"), 8000);
        QVERIFY(scrape(port).contains("port=\"1\",bench=\"bench A\"}"));
        QTRY_VERIFY_WITH_TIMEOUT(scrape(port + 1).contains("port=\"2\""), 8000);
        third.start(qvr, {"--data", a});
        QVERIFY(third.waitForFinished(5000) && third.exitCode() == 2);
        const QString said = QString::fromUtf8(third.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("qvr: Another QVR (process %1 on ").arg(first.processId())) &&
                     said.contains("has the database in " + QDir::toNativeSeparators(a) + " open."),
                 qPrintable(said));
        // A fourth on a folder of its own but the first one's port: told who holds it.
        const QString c = dir.filePath("c");
        QDir().mkpath(c);
        RememberPortIn(c, 1);
        QProcess fourth;
        fourth.start(qvr, {"--data", c});
        QString told;
        QTRY_VERIFY_WITH_TIMEOUT(
            (told += QString::fromUtf8(fourth.readAllStandardError())).contains(" is using it."),
            8000);
        QVERIFY2(told.contains(QStringLiteral("qvr: Cannot open serial port (port 1, %1): another "
                                              "QVR (process %2 on ")
                                   .arg(simA.device())
                                   .arg(first.processId())),
                 qPrintable(told));
        for (QProcess *p : {&first, &second, &fourth}) {
            p->terminate();
            QVERIFY(p->waitForFinished(5000) && p->exitCode() == 0);
        }
        qunsetenv("QVR_COM2");
    }

    // The command line is read before anything needs a display: --help and --version answer
    // anywhere, and a mistake is told with the usage; no window opens for any of them.
    void commandLine() {
        using Case = std::tuple<QStringList, int, const char *, const char *>;
        const Case cases[] = {
            {{"--help"}, 0, "Usage: qvr [--record FILE] [--remote [PORT]] [--metrics [ADDR:]PORT]\n",
             ""},
            {{"--metrics", "[::1]"}, 2, "",
             "qvr: --metrics needs [ADDR:]PORT, such as 9725 or 0.0.0.0:9725, not '[::1]'."},
            {{"--remote", "0"}, 2, "", "qvr: The port for --remote must be 1 to 65535, not '0'."},
            {{"-platform", "offscreen", "-v"}, 0, "qvr 2.0\n", ""},
            {{"--bogus"}, 2, "", "qvr: Unknown option 'bogus'.\nUsage: qvr"},
            {{"--record"}, 2, "", "qvr: Missing value after '--record'.\n"},
            {{"--record", "/no/r.csv"}, 2, "", "qvr: Cannot record to /no/r.csv: No such file"},
            {{"--view"}, 2, "", "qvr: --view needs the recordings to read.\n"},
            {{"--view", "a.csv", "--remote"}, 2, "", "qvr: --view reads recordings only: it "},
            {{"-platform", "offscreen", "--view", "/no/r.csv"}, 2, "",
             "qvr: Cannot open /no/r.csv: No such file"}};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(display);
        for (const auto &[args, code, out, err] : cases) {
            QProcess qvr;
            qvr.setProcessEnvironment(env);
            qvr.start(QCoreApplication::applicationDirPath() + "/qvr", args);
            QVERIFY(qvr.waitForFinished(5000) && qvr.exitCode() == code);
            // Qt may warn first once a display is asked for (a missing runtime folder).
            QVERIFY(qvr.readAllStandardOutput().startsWith(out) &&
                    qvr.readAllStandardError().contains(err));
        }
    }
};

QTEST_MAIN(TestE2E)
#include "test_e2e.moc"
