// Remote control's figures: a script's reading and setting against the serial line's own time,
// the CPU four silent scripts cost, and the polling while a script floods the server.
#include "Bench.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>

namespace Bench {

namespace {

// The wall-clock times (s) at which `word` lines reached the supply, from --line-times.
std::vector<double> LineTimes(const QString &times, const QByteArray &word) {
    std::vector<double> at;
    QFile f(times);
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &entry : f.readAll().split('\n'))
            if (entry.mid(entry.indexOf(' ') + 1).startsWith(word))
                at.push_back(entry.left(entry.indexOf(' ')).toDouble() / 1e6);
    return at;
}

// A blocking client: the server is another process.
struct Script {
    QTcpSocket s;
    explicit Script(quint16 port) {
        s.connectToHost(QHostAddress::LocalHost, port);
        s.waitForConnected(3000);
    }
    QByteArray ask(const QByteArray &line) {
        s.write(line + '\n');
        s.waitForBytesWritten(1000);
        QByteArray reply;
        while (!reply.endsWith('\n') && (s.bytesAvailable() || s.waitForReadyRead(2000)))
            reply += s.readAll();
        return reply.trimmed();
    }
};

} // namespace

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

    // Four connected scripts that say nothing, against polling alone.
    auto cpuPct = [&](double seconds) {
        const double cpu0 = run.cpuSeconds(), wall0 = wallSeconds();
        QThread::usleep(static_cast<unsigned long>(seconds * 1e6));
        return (run.cpuSeconds() - cpu0) / (wallSeconds() - wall0) * 100;
    };
    // In turns of 3 s, so that the machine's own drift falls on both sides alike: the median
    // of what four connected silent scripts add to polling alone.
    script.s.disconnectFromHost();
    std::vector<double> alone, added;
    for (int turn = 0; turn < 6; ++turn) {
        alone.push_back(cpuPct(3));
        std::vector<std::unique_ptr<Script>> silent;
        for (int i = 0; i < 4; ++i)
            silent.push_back(std::make_unique<Script>(port));
        QThread::msleep(100);
        added.push_back(cpuPct(3) - alone.back());
    }
    print("remote_idle_cpu_pct_alone", median(alone));
    figure("remote_idle_cpu_pct", std::max(0.0, median(added)), 0.1);
    QThread::msleep(200);
    Script flood(port);

    // A script asking *IDN? as fast as it can for 10 s: the longest gap between polls.
    const double f0 = wallSeconds();
    while (wallSeconds() - f0 < 10) {
        flood.s.write(QByteArray("*IDN?\n").repeated(50));
        flood.s.waitForBytesWritten(1000);
        int lines = 0;
        while (lines < 50 && flood.s.waitForReadyRead(2000))
            lines += int(flood.s.readAll().count('\n'));
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
