// The exposition for monitoring: the core's states in, the exact text out, and every text one
// that Prometheus's own promtool accepts in both formats.
#include "Metrics.h"
#include "MetricsServer.h"
#include "Module1.h"
#include "SerialComm1.h"
#include "SimProcess.h"
#include "Supply.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

using namespace Metrics;

namespace {

// promtool's verdict on an exposition: "" when it takes it.
QString Promtool(const QByteArray &text) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (tool.isEmpty())
        return QStringLiteral("promtool is missing (bash scripts/deps.sh installs it)");
    QProcess p;
    p.start(tool, {QStringLiteral("check"), QStringLiteral("metrics")});
    p.write(text);
    p.closeWriteChannel();
    p.waitForFinished(10000);
    const QString said = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? QString() : said;
}

QByteArray Lines(const QByteArray &text, const QByteArray &prefix) {
    QByteArray out;
    for (const QByteArray &l : text.split('\n'))
        if (l.startsWith(prefix))
            out += l + '\n';
    return out;
}

} // namespace

class TestMetrics : public QObject {
    Q_OBJECT
private slots:
    void exposition_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("samples"); // the lines that are not HELP or TYPE
        QTest::newRow("first start, no supply") << 0
                                                << QByteArray(
                                                       "qvr_info{version=\"2.0\",port=\"1\","
                                                       "bench=\"lab \\\"A\\\"\\\\1\"} 1\n"
                                                       "qvr_link_up 0\n"
                                                       "qvr_link_losses_total 0\n"
                                                       "qvr_polls_total 0\n"
                                                       "qvr_poll_failures_total 0\n"
                                                       "qvr_charge_coulombs_total 0\n"
                                                       "qvr_energy_joules_total 0\n"
                                                       "qvr_program_running{where=\"internal\"} 0\n"
                                                       "qvr_program_running{where=\"external\"} 0\n"
                                                       "qvr_program_running{where=\"preset\"} 0\n"
                                                       "qvr_recording_active 0\n"
                                                       "qvr_guard_state{state=\"armed\"} 0\n"
                                                       "qvr_guard_state{state=\"done\"} 0\n"
                                                       "qvr_guard_state{state=\"tripped\"} 0\n");
        QTest::newRow("stepping, recording, tripped")
            << 1
            << QByteArray("qvr_info{version=\"2.0\",port=\"3\",bench=\"bench-3\"} 1\n"
                          "qvr_link_up 1\n"
                          "qvr_link_losses_total 2\n"
                          "qvr_polls_total 1234\n"
                          "qvr_poll_failures_total 5\n"
                          "qvr_output_voltage_volts 12.5\n"
                          "qvr_output_current_amperes 1.25\n"
                          "qvr_regulation_constant_current 1\n"
                          "qvr_setpoint_voltage_volts 12.5\n"
                          "qvr_setpoint_current_amperes 1.25\n"
                          "qvr_supply_max_voltage_volts 30\n"
                          "qvr_supply_max_current_amperes 3\n"
                          "qvr_charge_coulombs_total 3600\n"
                          "qvr_energy_joules_total 43200\n"
                          "qvr_program_running{where=\"internal\"} 0\n"
                          "qvr_program_running{where=\"external\"} 1\n"
                          "qvr_program_running{where=\"preset\"} 0\n"
                          "qvr_program_step 7\n"
                          "qvr_recording_active 1\n"
                          "qvr_recording_bytes 4096\n"
                          "qvr_guard_state{state=\"armed\"} 0\n"
                          "qvr_guard_state{state=\"done\"} 0\n"
                          "qvr_guard_state{state=\"tripped\"} 1\n");
    }
    void exposition() {
        QFETCH(int, state);
        QFETCH(QByteArray, samples);
        Snapshot s;
        s.version = "2.0";
        if (state == 0) {
            s.port = "1";
            s.bench = "lab \"A\"\\1"; // quotes and a backslash, escaped
        } else {
            s = {"2.0", "3", "bench-3", true, 12.5, 1.25, true, 12.5, 1.25, 30.0, 3.0, 1234, 5, 2,
                 3600, 43200, "external", 7, true, 4096, Guards::State::Tripped};
        }
        const QByteArray text = Exposition(s, Format::Text);
        QByteArray values;
        for (const QByteArray &l : text.split('\n'))
            if (!l.isEmpty() && !l.startsWith('#'))
                values += l + '\n';
        QCOMPARE(values, samples);
        QCOMPARE(Lines(text, "# TYPE qvr_polls"), QByteArray("# TYPE qvr_polls_total counter\n"));
        QVERIFY2(Promtool(text).isEmpty(), qPrintable(Promtool(text)));
        // OpenMetrics: the same samples, counters' families without _total, an info type, # EOF.
        const QByteArray open = Exposition(s, Format::OpenMetrics);
        QVERIFY(open.endsWith("\n# EOF\n") && open.contains("# TYPE qvr info\n") &&
                open.contains("# TYPE qvr_polls counter\nqvr_polls_total "));
        QCOMPARE(Lines(open, "qvr_"), samples);
    }

    // What a scraper asks for, and the supply's counters that never go down.
    void negotiationAndTotals() {
        QCOMPARE(Negotiate("application/openmetrics-text;version=1.0.0,text/plain;q=0.5"),
                 Format::OpenMetrics);
        QCOMPARE(Negotiate("text/plain"), Format::Text);
        QCOMPARE(Negotiate(""), Format::Text);
        QCOMPARE(ContentType(Format::Text), QByteArray("text/plain; version=0.0.4; charset=utf-8"));
        Supply supply;
        supply.SetCounters(0.5, 6);
        supply.SetCounters(1.0, 12);
        supply.SetCounters(0, 0); // the panel's Zero
        supply.SetCounters(0.25, 3);
        QCOMPARE(supply.Counted().ah.total, 1.25);
        QCOMPARE(supply.Counted().wh.total, 15.0);
        supply.SetConnected(true);
        supply.SetConnected(false);
        supply.SetConnected(false);
        supply.CountPoll(true);
        supply.CountPoll(false);
        QVERIFY(supply.Counted().linkLosses == 1 && supply.Counted().polls == 2 &&
                supply.Counted().pollFailures == 1);
    }

    // Where a request comes from: a scraper, a person's own browser, or a web page that is not
    // this computer's (another site, or one renamed to it by DNS rebinding).
    void refusal_data() {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QByteArray>("fetchSite");
        QTest::addColumn<bool>("loopback");
        QTest::addColumn<QString>("refused");
        const QString page = "QVR's readings are for scrapers, not for other web pages.";
        const QString name = "QVR publishes to this computer only: ask for 127.0.0.1, [::1] or "
                             "localhost.";
        for (const char *ok : {"127.0.0.1:9725", "localhost:9725", "[::1]:9725", "LOCALHOST",
                               "127.0.0.2", "[::1]", ""})
            QTest::newRow(ok) << QByteArray(ok) << QByteArray() << true << QString();
        for (const char *bad : {"evil.example:9725", "127.0.0.1.evil.example",
                                "localhost.evil.example:80", "10.0.0.5:9725", "[::2]:9725"})
            QTest::newRow(bad) << QByteArray(bad) << QByteArray() << true << name;
        QTest::newRow("another address, any name") << QByteArray("bench3.lab:9725") << QByteArray()
                                                   << false << QString();
        QTest::newRow("typed in the browser") << QByteArray("127.0.0.1:9725") << QByteArray("none")
                                              << true << QString();
        QTest::newRow("rebound page") << QByteArray("evil.example:9725")
                                      << QByteArray("same-origin") << true << name;
        for (const char *site : {"cross-site", "same-site", "Cross-Site"}) {
            QTest::newRow(site) << QByteArray("127.0.0.1:9725") << QByteArray(site) << true << page;
            QTest::newRow(QByteArray(site) + " elsewhere")
                << QByteArray("bench3.lab") << QByteArray(site) << false << page;
        }
    }
    void refusal() {
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, fetchSite);
        QFETCH(bool, loopback);
        QFETCH(QString, refused);
        QCOMPARE(MetricsServer::Refusal(host, fetchSite, loopback), refused);
    }

    // The endpoint of a window polling a real port: what a scraper gets, what it cannot do, and
    // clients that misbehave, while the polls go on.
    void endpoint() {
        SimProcess sim({"--demo"});
        QVERIFY(sim.started());
        QTemporaryDir dir;
        qputenv("QVR_COM1", sim.device().toLatin1());
        RememberPortIn(dir.path(), 1);
        Module1::ResetSharedState();
        SerialComm1 port;
        ScriptedDialogs dialogs;
        TabbedFrm w(port, dialogs, SystemClock::instance(), dir.filePath(Database::FileName));
        QVERIFY(w.Form_Load());
        w.Form_Activate();
        QVERIFY(w.supply.SetVoltage(5).ok() && w.supply.SetCurrent(1).ok());
        QCOMPARE(w.SetMetrics(true, "300.1.2.3", 0, false),
                 QString("\"300.1.2.3\" is not an IP address to publish readings on."));
        QCOMPARE(w.SetMetrics(true, "::1", 9725, false),
                 QString("Cannot publish readings on ::1 port 9725: this QVR's web server has no "
                         "IPv6; give an IPv4 address, such as 127.0.0.1."));
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        QCOMPARE(w.SetMetrics(true, "127.0.0.1", taken.serverPort(), false),
                 QStringLiteral("Cannot publish readings on 127.0.0.1 port %1: The bound address "
                                "is already in use")
                     .arg(taken.serverPort()));
        QVERIFY(w.SetMetrics(true, "127.0.0.1", 0, false).isEmpty());
        const quint16 at = w.metrics->Port();
        const auto ask = [&](const QByteArray &request, int ms = 2000) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, at);
            s.waitForConnected(1000);
            s.write(request);
            QByteArray got;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < ms && s.state() == QAbstractSocket::ConnectedState &&
                   !(got.contains("\r\n\r\n") && got.endsWith('\n')))
                QTest::qWait(10), got += s.readAll();
            return got + s.readAll();
        };
        QTRY_VERIFY(ask("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").contains("\nqvr_output_voltage_volts 5\n"));
        const QByteArray got = ask("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        QVERIFY2(got.startsWith("HTTP/1.1 200") &&
                     got.contains("Content-Type: text/plain; version=0.0.4; charset=utf-8") &&
                     got.contains("\nqvr_link_up 1\n") &&
                     got.contains("\nqvr_setpoint_current_amperes 1\n"),
                 got.constData());
        const QByteArray body = got.mid(got.indexOf("\r\n\r\n") + 4);
        QVERIFY2(Promtool(body).isEmpty(), qPrintable(Promtool(body)));
        QVERIFY(ask("GET /metrics HTTP/1.1\r\nAccept: application/openmetrics-text\r\n\r\n")
                    .endsWith("# EOF\n"));
        for (const QByteArray method : {"POST", "PUT", "DELETE", "PATCH"})
            QVERIFY(ask(method + " /metrics HTTP/1.1\r\nContent-Length: 3\r\n\r\nVOLT")
                        .startsWith("HTTP/1.1 405"));
        QVERIFY(ask("GET /../../etc/passwd HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404"));
        for (const QByteArray from : {"Host: evil.example\r\n", "Sec-Fetch-Site: cross-site\r\n"})
            QVERIFY(ask("GET /metrics HTTP/1.1\r\n" + from + "\r\n").startsWith("HTTP/1.1 403"));
        const QByteArray setBefore = ask("GET /metrics HTTP/1.1\r\n\r\n");
        QVERIFY(setBefore.contains("\nqvr_setpoint_voltage_volts 5\n")); // nothing changed

        // Misbehaving clients, and the polling meanwhile.
        const quint64 polls0 = w.supply.Counted().polls;
        QElapsedTimer t;
        t.start();
        QVERIFY(!ask("GET /" + QByteArray(100000, 'a') + " HTTP/1.1\r\n\r\n", 1500)
                     .startsWith("HTTP/1.1 200")); // closed past the bound
        static const char garbage[] = "\x00\xff\x16\x03garbage\r\n\r\n";
        QVERIFY(!ask(QByteArray(garbage, sizeof garbage - 1), 500)
                     .startsWith("HTTP/1.1 200"));
        // 100 connects that never say anything, one more that waits, and a client that asks
        // again and again and never reads what it is sent.
        std::vector<std::unique_ptr<QTcpSocket>> crowd;
        for (int i = 0; i < 100; ++i) {
            crowd.push_back(std::make_unique<QTcpSocket>());
            crowd.back()->connectToHost(QHostAddress::LocalHost, at);
        }
        auto *deaf = new QTcpSocket(&w);
        deaf->connectToHost(QHostAddress::LocalHost, at);
        deaf->setReadBufferSize(1);
        deaf->write(QByteArray("GET /metrics HTTP/1.1\r\n\r\n").repeated(500));
        QTest::qWait(1500);
        crowd.clear(); // they give up
        QTRY_VERIFY_WITH_TIMEOUT(ask("GET /metrics HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200"),
                                 MetricsServer::ClientMs);
        QTcpSocket silent; // let go by its deadline
        silent.connectToHost(QHostAddress::LocalHost, at);
        QVERIFY(silent.waitForConnected(1000));
        QTRY_VERIFY_WITH_TIMEOUT(silent.state() == QAbstractSocket::UnconnectedState,
                                 MetricsServer::ClientMs + 2000);
        // Three polls a second all along.
        const double seconds = t.elapsed() / 1000.0;
        QVERIFY2(double(w.supply.Counted().polls - polls0) >= seconds * 3 * 0.8,
                 qPrintable(QString("%1 polls in %2 s").arg(w.supply.Counted().polls - polls0).arg(seconds)));
        w.Form_Unload();
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    TestMetrics t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_metrics.moc"
