// The exposition for monitoring: the core's states in, the exact text out, and every text one
// that Prometheus's own promtool accepts in both formats.
#include "Metrics.h"
#include "Supply.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

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
};

QTEST_MAIN(TestMetrics)
#include "test_metrics.moc"
