// Reading recordings back: a week recorded at 0.5 s opened, drawn, measured and followed.
#include "Bench.h"
#include "HistoryWindow.h"
#include "Recorder.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimeZone>
#include <cmath>

namespace Bench {

namespace {

constexpr qint64 WeekSamples = 7LL * 24 * 3600 * 2;

// The segments the viewer counts, summed straight from the file's lines: a segment between two
// readings less than 1.6 intervals apart, within one recording.
double DirectChargeAh(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return NAN;
    file.readLine();
    double charge = 0, lastS = 0, lastI = NAN;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        // The fields by hand, without a list of byte arrays a line.
        std::array<QByteArray, 9> f;
        qsizetype at = 0;
        int n = 0;
        for (qsizetype comma; n < 8 && (comma = line.indexOf(',', at)) >= 0; ++n, at = comma + 1)
            f[size_t(n)] = QByteArray::fromRawData(line.constData() + at, comma - at);
        if (n < 8)
            continue;
        f[8] = QByteArray::fromRawData(line.constData() + at, line.size() - at);
        const double s = f[1].toDouble();
        if (f[8].trimmed().startsWith("recording started")) {
            lastI = NAN;
            continue;
        }
        if (f[2].isEmpty() && f[3].isEmpty()) {
            if (f[8].trimmed().isEmpty())
                lastI = NAN; // no reading
            continue;
        }
        const double i = f[3].toDouble();
        if (!std::isnan(lastI) && s - lastS <= 1.6 * 0.5)
            charge += (lastI + i) / 2 * (s - lastS);
        lastS = s, lastI = i;
    }
    return charge / 3600;
}

double PandasSeconds(const QString &path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), // Debian's, with its pandas
                 
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, time, pandas\n"
                                 "t = time.perf_counter()\n"
                                 "pandas.read_csv(sys.argv[1], engine='c')\n"
                                 "print(time.perf_counter() - t)\n"),
                  path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return NAN;
    return python.readAllStandardOutput().trimmed().toDouble();
}

// Draws the window t0..t1 as the screen does, `n` times; the median in milliseconds.
double RedrawMs(History::HistoryChart &chart, double t0, double t1) {
    chart.SetView(t0, t1);
    QImage image(chart.size(), QImage::Format_RGB32);
    std::vector<double> ms;
    for (int k = 0; k < 15; ++k) {
        QElapsedTimer timer;
        timer.start();
        QPainter p(&image);
        History::Draw(p, image.rect(), chart.SceneNow());
        p.end();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(ms);
}

} // namespace

void WriteWeek(const QString &path, qint64 samples) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    QByteArray out = Recording::Header();
    const QDateTime start(QDate(2026, 11, 30), QTime(8, 0), QTimeZone(3600));
    const auto flush = [&] {
        file.write(out);
        out.clear();
    };
    out += Recording::EventLine(start, 0, QStringLiteral("recording started, bench 1, interval "
                                                         "0.5 s, limits 30.0 V 3.00 A"));
    Recording::Context c{QStringLiteral("CV"), QStringLiteral("none"), 12.0f, 1.5f};
    quint32 noise = 12345;
    for (qint64 k = 0; k < samples; ++k) {
        const double s = double(k) / 2;
        const QDateTime at = start.addMSecs(k * 500);
        // A step program of 200 s steps, a load that breathes over the day, and noise.
        const int step = int(k / 400) % 6;
        if (k % 400 == 0) {
            c.setVolt = float(5 + 3 * step);
            c.running = QStringLiteral("external step %1 pass 1").arg(step + 1);
            out += Recording::EventLine(at, s, QStringLiteral("Set %1 V, 1.50 A, \"step %2\"")
                                                   .arg(*c.setVolt, 0, 'f', 1)
                                                   .arg(step + 1));
        }
        noise = noise * 1664525u + 1013904223u;
        const double jitter = double(noise >> 8) / double(1u << 24) - 0.5;
        double curr = 0.8 + 0.4 * std::sin(s / 86400 * 2 * M_PI) + 0.01 * jitter;
        if (k % 100003 == 77)
            curr = 2.9; // a single-sample spike
        const double volt = *c.setVolt + 0.02 * jitter;
        if (k == samples / 3) {
            out += Recording::EventLine(at, s, QStringLiteral("port lost"));
            for (int g = 0; g < 20; ++g)
                out += Recording::SampleLine(at.addMSecs(g * 500), s + g * 0.5, -1, -1, c);
            k += 20;
            out += Recording::EventLine(at.addMSecs(10000), s + 10, QStringLiteral("port back"));
            continue;
        }
        out += Recording::SampleLine(at, s, float(volt), float(curr), c);
        if (out.size() > (1 << 20))
            flush();
    }
    flush();
}

bool viewFigures() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("week.csv"));
    WriteWeek(path, WeekSamples);
    const double pandas = PandasSeconds(path);

    // Memory grown with the samples: a small recording's window first, for what any window takes.
    YesDialogs dialogs;
    QString error;
    const QString small = dir.filePath(QStringLiteral("small.csv"));
    WriteWeek(small, 100);
    std::unique_ptr<History::HistoryWindow> first(History::HistoryWindow::Open(small, dialogs, error));
    first->setAttribute(Qt::WA_DeleteOnClose, false);
    first->show();
    first->Chart().grab();
    const long before = residentKb();
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<History::HistoryWindow> w(History::HistoryWindow::Open(path, dialogs, error));
    if (!w) {
        std::fprintf(stderr, "qvr-bench: %s\n", qPrintable(error));
        return false;
    }
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    w->Chart().grab(); // drawn whole
    const double openS = timer.nsecsElapsed() / 1e9;
    const qint64 samples = w->Run().Samples().Size();
    const long after = residentKb();
    if (std::isnan(pandas))
        std::fprintf(stderr, "qvr-bench: view_open_ratio needs Debian's pandas "
                             "(bash scripts/deps.sh python3-pandas)\n");
    print("view_open_s", openS);
    print("view_pandas_s", pandas);
    figure("view_open_ratio", openS / pandas, 0.5);

    History::HistoryChart &chart = w->Chart();
    const double end = w->Run().EndT();
    const double week = RedrawMs(chart, 0, end), hour = RedrawMs(chart, end / 2, end / 2 + 3600),
                 minute = RedrawMs(chart, end / 2, end / 2 + 60);
    print("view_redraw_week_ms", week);
    print("view_redraw_hour_ms", hour);
    print("view_redraw_minute_ms", minute);
    figure("view_redraw_ms", std::max({week, hour, minute}), 5);

    chart.SetCursors(1, samples - 1);
    std::vector<double> statsMs;
    StretchStats::Stats stats;
    for (int k = 0; k < 50; ++k) {
        timer.restart();
        stats = chart.Stats();
        statsMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    figure("view_stats_ms", median(statsMs), 1);
    chart.SetCursors(0, samples - 1);
    const double direct = DirectChargeAh(path), shown = chart.Stats().ah;
    print("view_charge_error_pct", std::abs(shown - direct) / direct * 100);
    if (!(std::abs(shown - direct) <= direct * 1e-4)) {
        std::fprintf(stderr, "qvr-bench: the charge %.6f Ah is not the direct sum %.6f Ah\n",
                     shown, direct);
        misses.push_back("view_charge_error_pct");
    }
    figure("view_rss_mb_per_million", double(after - before) / 1024 / (double(samples) / 1e6), 24);
    w.reset();

    // Follow: a small recording grows by a line; the time until the chart has drawn it.
    const QString growing = dir.filePath(QStringLiteral("growing.csv"));
    WriteWeek(growing, 100);
    std::unique_ptr<History::HistoryWindow> g(History::HistoryWindow::Open(growing, dialogs, error));
    g->setAttribute(Qt::WA_DeleteOnClose, false);
    g->show();
    struct PaintSeen : QObject {
        const History::RecordedRun *run;
        qint64 want = 0;
        bool seen = false;
        bool eventFilter(QObject *, QEvent *e) override {
            if (e->type() == QEvent::Paint && run->Samples().Size() >= want)
                seen = true;
            return false;
        }
    } paints;
    paints.run = &g->Run();
    g->Chart().installEventFilter(&paints);
    QFile file(growing);
    file.open(QIODevice::Append);
    const QDateTime start(QDate(2026, 11, 30), QTime(8, 0), QTimeZone(3600));
    std::vector<double> followMs;
    for (int k = 0; k < 5; ++k) {
        idle(0.05 + 0.06 * k); // anywhere in the follow timer's period
        paints.want = g->Run().Samples().Size() + 1;
        paints.seen = false;
        const double s = 60 + k * 0.5;
        file.write(Recording::SampleLine(start.addMSecs(qint64(s * 1000)), s, 12, 1,
                                         {QStringLiteral("CV"), QStringLiteral("none"), 12, 1}));
        file.flush();
        timer.restart();
        while (!paints.seen && timer.elapsed() < 5000)
            idle(0.002);
        followMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    figure("view_follow_ms", *std::max_element(followMs.begin(), followMs.end()), 1500);
    return true;
}

} // namespace Bench
