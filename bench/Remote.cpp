// Remote control's figures: a script's reading and setting against the serial line's own time,
// the CPU four silent scripts cost, and the polling while scripts flood the server.
#include "Bench.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>

namespace Bench {

// The wall-clock times (s) at which `word` lines reached the supply, from --line-times.
static std::vector<double> LineTimes(const QString &times, const QByteArray &word) {
    std::vector<double> at;
    for (const auto &[when, line] : LinesSince(times, 0))
        if (line.startsWith(word))
            at.push_back(when);
    return at;
}

// One scrape of the endpoint on `port`, until the body is whole by its Content-Length; the
// reply, or "" when it does not come within a second.
static QByteArray scrape(quint16 port) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(1000))
        return {};
    s.write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray reply;
    const auto whole = [&reply] {
        const qsizetype end = reply.indexOf("\r\n\r\n");
        const qsizetype at = reply.indexOf("Content-Length: ");
        return end > 0 && at > 0 &&
               reply.size() - end - 4 >=
                   reply.mid(at + 16, reply.indexOf('\r', at) - at - 16).toLongLong();
    };
    while (!whole() && s.waitForReadyRead(1000))
        reply += s.readAll();
    if (!reply.startsWith("HTTP/1.1 200") || !reply.contains("qvr_link_up 1")) {
        std::fprintf(stderr, "qvr-bench: the scrape failed: %s\n", reply.left(80).constData());
        return {};
    }
    return reply;
}

// The monitoring endpoint of a `qvr --metrics` process: one scrape's round trip on loopback
// (median), while a client scrapes 20 times a second for 10 s, and the longest gap between polls
// meanwhile.
bool metricsFigures() {
    QTemporaryDir timesDir;
    const QString times = timesDir.filePath("times.log");
    QvrRun run({"--char-delay-us", QString::number(CharDelayUs), "--line-times", times});
    const quint16 port = 9725 + quint16(getpid() % 20000);
    if (!run.start({"--metrics", QString::number(port)}))
        return false;
    QThread::sleep(2); // past start-up
    std::vector<double> scrapes;
    const double t0 = wallSeconds();
    while (wallSeconds() - t0 < 10) {
        const double s0 = wallSeconds();
        if (scrape(port).isEmpty())
            return false;
        scrapes.push_back((wallSeconds() - s0) * 1000);
        QThread::usleep(static_cast<unsigned long>(std::max(0.0, 0.05 - (wallSeconds() - s0)) * 1e6));
    }
    double gap = 0, last = t0;
    for (double at : LineTimes(times, "GETD"))
        if (at >= t0)
            gap = std::max(gap, at - last), last = at;
    figure("metrics_scrape_ms", median(scrapes), 5);
    figure("metrics_poll_gap_ms", std::max(gap, wallSeconds() - last) * 1000, 350);
    return true;
}

// What publishing costs a bench Prometheus scrapes at its default 15 s: two programs polling side
// by side, both publishing, over 15 s in which one is scraped once and the other not, then the
// other way round, so that the pair's own difference and the machine's moments fall on both
// alike. An endpoint nobody asks waits on its socket and costs nothing, as one that is off.
bool metricsIdleCpu() {
    const QStringList paced{"--char-delay-us", QString::number(CharDelayUs)};
    const quint16 port = 9825 + quint16(getpid() % 20000);
    QvrRun a(paced), b(paced);
    if (!a.start({"--metrics", QString::number(port)}) ||
        !b.start({"--metrics", QString::number(port + 1)}))
        return false;
    QThread::sleep(2); // past start-up
    // Each one's first scrape has its one-time costs (the first reply's buffers).
    if (scrape(port).isEmpty() || scrape(port + 1).isEmpty())
        return false;
    const auto sleepUntil = [](double at) {
        QThread::usleep(static_cast<unsigned long>(std::max(0.0, at - wallSeconds()) * 1e6));
    };
    std::vector<double> added;
    for (QvrRun *scraped : {&a, &b}) {
        QvrRun *idle = scraped == &a ? &b : &a;
        const quint16 at = scraped == &a ? port : port + 1;
        const double t0 = wallSeconds();
        added.push_back(CpuAdded(*scraped, *idle, [&] {
            sleepUntil(t0 + 7.5);
            const bool answered = !scrape(at).isEmpty();
            sleepUntil(t0 + 15);
            return answered;
        }));
        if (std::isnan(added.back()))
            return false;
    }
    print("metrics_idle_cpu_pct_measured", (added[0] + added[1]) / 2); // below 0 is the machine's
    figure("metrics_idle_cpu_pct", std::max(0.0, (added[0] + added[1]) / 2), 0.05);
    return true;
}

bool remoteFigures() {
    QTemporaryDir timesDir;
    const QString times = timesDir.filePath("times.log");
    QvrRun run({"--char-delay-us", QString::number(CharDelayUs), "--line-times", times});
    const quint16 port = 5025 + quint16(getpid() % 20000);
    if (!run.start({"--remote", QString::number(port)}))
        return false;
    QThread::sleep(2); // past start-up
    Script script(port);
    if (script.ask("*IDN?").isEmpty()) {
        std::fprintf(stderr, "qvr-bench: no answer on the remote port\n");
        return false;
    }
    // A fresh reading against the GETD's own time on the line (19 characters each way).
    std::vector<double> reads, sets;
    for (int i = 0; i < 40; ++i) {
        const double t0 = wallSeconds();
        if (script.ask("MEAS:VOLT?").isEmpty())
            return false;
        reads.push_back((wallSeconds() - t0) * 1000 / (19 * CharDelayUs / 1000.0));
        QThread::msleep(37);
    }
    figure("remote_query_ratio", median(reads), 1.15);
    // From the command sent to its VOLT line complete at the supply, less the line's 8 characters.
    for (int i = 0; i < 20; ++i) {
        const double t0 = wallSeconds();
        script.s.write(i % 2 ? "VOLT 5\n" : "VOLT 6\n");
        script.s.flush();
        double arrived = 0;
        for (int k = 0; k < 100 && !arrived; ++k) {
            QThread::msleep(5);
            for (double at : LineTimes(times, "VOLT"))
                if (at > t0)
                    arrived = at;
        }
        if (!arrived)
            return false;
        sets.push_back((arrived - t0) * 1000 - 8 * CharDelayUs / 1000.0);
        QThread::msleep(120);
    }
    figure("remote_set_ms", median(sets), 5);

    // Four connected scripts that say nothing: two programs side by side over the same 6 s
    // (20 polls and 3 samples each), one with the scripts and one without, then the other way
    // round, so that the machine's own moments fall on both alike.
    script.s.disconnectFromHost();
    QvrRun twin({"--char-delay-us", QString::number(CharDelayUs)});
    const quint16 twinPort = port + 1;
    if (!twin.start({"--remote", QString::number(twinPort)}))
        return false;
    QThread::sleep(2);
    std::vector<double> alone, added;
    for (QvrRun *with : {&run, &twin}) {
        QvrRun *without = with == &run ? &twin : &run;
        std::vector<std::unique_ptr<Script>> silent;
        for (int i = 0; i < 4; ++i)
            silent.push_back(std::make_unique<Script>(with == &run ? port : twinPort));
        QThread::msleep(100);
        double own = 0;
        added.push_back(CpuAdded(*with, *without, [] { return QThread::sleep(6), true; }, &own));
        alone.push_back(own);
    }
    print("remote_idle_cpu_pct_alone", (alone[0] + alone[1]) / 2);
    figure("remote_idle_cpu_pct", std::max(0.0, (added[0] + added[1]) / 2), 0.1);
    QThread::msleep(200);
    Script flood(port), compound(port);

    // A script asking *IDN? as fast as it can for 10 s, and another sending lines of 581
    // settings (4 KB, 11 s of the line each): the longest gap between polls.
    const QByteArray settings = "VOLT 1" + QByteArray(";VOLT 2").repeated(580) + ";:*OPC?\n";
    compound.s.write(settings);
    const double f0 = wallSeconds();
    while (wallSeconds() - f0 < 10) {
        flood.s.write(QByteArray("*IDN?\n").repeated(50));
        flood.s.waitForBytesWritten(1000);
        int lines = 0;
        while (lines < 50 && flood.s.waitForReadyRead(2000))
            lines += int(flood.s.readAll().count('\n'));
        if (compound.s.waitForReadyRead(0) && compound.s.readAll().contains('\n'))
            compound.s.write(settings);
    }
    double gap = 0, last = f0;
    for (double at : LineTimes(times, "GETD"))
        if (at > f0) {
            gap = std::max(gap, at - last);
            last = at;
        }
    figure("remote_flood_poll_gap_ms", std::max(gap, wallSeconds() - last) * 1000, 350);
    return true;
}

} // namespace Bench
