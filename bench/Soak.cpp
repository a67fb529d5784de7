// The long unattended checks: the automatic reconnect's time, and hours of work in minutes.
#include "Bench.h"
#include "DataLogPage.h"
#include "ProgramPages.h"
#include "StallMeter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cmath>

namespace Bench {

namespace {

// A simulator behind a stable path, as udev names an adapter, that can be pulled and plugged in
// again; port 1 leads to the path and is remembered in the database beside it.
struct Adapter {
    QTemporaryDir dir;
    const QString path = dir.filePath("ttyQVR");
    std::unique_ptr<SimProcess> sim;
    Adapter() {
        qputenv("QVR_COM1", QFile::encodeName(path));
        Database db;
        db.Open(database());
        SettingsTable::RememberPort(db, 1);
    }
    QString database() const { return dir.filePath(Database::FileName); }
    bool plugIn(const QStringList &args) {
        sim = std::make_unique<SimProcess>(args);
        QFile::remove(path);
        return sim->started() && QFile::link(sim->device(), path);
    }
};

} // namespace

// "Reconnect automatically": from a new simulator appearing at the lost port's path to its
// first GETD.
bool reconnectTime() {
    Adapter adapter;
    const QString log = adapter.dir.filePath("rx.log");
    if (!adapter.plugIn({}))
        return false;
    Module1::ResetSharedState();
    SerialComm1 port;
    YesDialogs dialogs;
    TabbedFrm w(port, dialogs, SystemClock::instance(), adapter.database());
    if (!w.Form_Load() || !Module1::Connected)
        return false;
    w.SetAutoReconnect(true);
    adapter.sim.reset();
    w.Timer1_Timer(); // finds the port gone
    idle(0.7);        // the new supply comes some way into the wait between two tries
    if (!adapter.plugIn({"--log", log}))
        return false;
    const double t0 = wallSeconds();
    double ms = -1;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        QFile f(log);
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains("GETD"))
            ms = (wallSeconds() - t0) * 1000;
        if (ms >= 0 || wallSeconds() - t0 > 10)
            loop.quit();
    });
    check.start(2);
    loop.exec();
    if (ms < 0) {
        std::fprintf(stderr, "qvr-bench: no reconnect\n");
        return false;
    }
    figure("reconnect_ms", ms, 2500);
    return true;
}

namespace {

// Nobody at the window: a box stays up until the end of the run, and the program goes on in its
// event loop. How many are up at once is what an operator would find in the morning.
class UnansweredDialogs : public YesDialogs {
public:
    qint64 endMs = 0; // monotonic
    int up = 0, most = 0;
    Answer MsgBox(const QString &text, Buttons, Icon, const QString &) override {
        most = std::max(most, ++up);
        std::fprintf(stderr, "box: %s\n", qPrintable(QString(text).replace(u'\r', u' ')));
        QEventLoop loop;
        QTimer::singleShot(int(std::max<qint64>(0, endMs - SystemClock::instance().MonotonicMs())),
                           &loop, &QEventLoop::quit);
        loop.exec();
        --up;
        return Answer::Ok;
    }
};

// The adapter pulled every 2 minutes for 10 s while "Reconnect automatically" is on and a
// recording runs at 0.5 s: the returns, the readings recorded while no poll could answer
// (target 0) and the most boxes up at once (target 1).
bool soakReplug(double minutes) {
    Adapter adapter;
    const QStringList paced{"--char-delay-us", QString::number(CharDelayUs)};
    const QString csv = adapter.dir.filePath("run.csv");
    if (!adapter.plugIn(paced))
        return false;
    Module1::ResetSharedState();
    SerialComm1 port;
    UnansweredDialogs dialogs;
    Clock &clock = SystemClock::instance();
    dialogs.endMs = clock.MonotonicMs() + qint64(minutes * 60000);
    TabbedFrm w(port, dialogs, clock, adapter.database());
    if (!w.Form_Load() || !Module1::Connected)
        return false;
    w.Form_Activate();
    w.SetAutoReconnect(true);
    Module1::SampleMs = 500;
    w.SamplingChanged();
    w.Tab1->setCurrentIndex(3);
    const qint64 startMs = clock.MonotonicMs(); // the recording's zero, to a millisecond
    if (!w.dataLogPage->StartRecording(csv))
        return false;
    // From a second after each pull (until then the last reading may still be the newest) to
    // the new adapter: no poll can answer, so no reading may be recorded.
    std::vector<std::pair<double, double>> blind;
    QTimer replug;
    QObject::connect(&replug, &QTimer::timeout, [&] {
        adapter.sim.reset();
        QFile::remove(adapter.path);
        blind.push_back({(clock.MonotonicMs() - startMs) / 1000.0 + 1, 1e9});
        QTimer::singleShot(10000, [&] {
            if (adapter.plugIn(paced))
                blind.back().second = (clock.MonotonicMs() - startMs) / 1000.0;
        });
    });
    replug.start(120000);
    idle(minutes * 60);
    w.dataLogPage->StopRecording();
    int returns = 0, frozen = 0;
    QFile f(csv);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> field = line.split(',');
        returns += line.endsWith(",port back");
        const double s = field.value(1).toDouble();
        if (!field.value(2).isEmpty())
            for (const auto &[from, to] : blind)
                frozen += s > from && s < to;
    }
    print("soak_replugs", double(blind.size()));
    print("soak_reconnects", returns);
    figure("soak_frozen_samples", frozen, 0);
    figure("soak_boxes_max", dialogs.most, 1);
    return returns >= int(blind.size()) - 1;
}

} // namespace

// Hours of unattended work in minutes: the window against the simulator at 9600-baud pace,
// sampling every 0.5 s with the Data Log page shown while an external program of ten 1 s steps
// cycles without end. Memory is compared from the end of a warm-up minute (the stores and the
// caches fill there) to the end.
bool soak(double minutes) {
    QTemporaryDir timesDir;
    const QString times = timesDir.filePath("times.log");
    SimWindow run({"--char-delay-us", QString::number(CharDelayUs), "--line-times", times});
    if (!run.startSampling("the soak run"))
        return false;
    TabbedFrm &w = *run.w;
    w.Tab1->setCurrentIndex(1);
    ExternalPage *p = w.externalPage;
    for (int r = 1; r <= 10; ++r)
        p->FGrid->SetDataRow(r,
                             {QString::number(r), QString::number(r).rightJustified(2, u'0') + ".0",
                              QStringLiteral("1.00"), QStringLiteral("00"), QStringLiteral("01")});
    p->Combo1[1]->setEditText(QStringLiteral("0")); // until stopped
    QThread::msleep(300);
    p->Command1_Click(0);
    w.Tab1->setCurrentIndex(3);
    if (!p->Running() || w.Tab1->currentIndex() != 3) {
        std::fprintf(stderr, "qvr-bench: the soak run did not start\n");
        return false;
    }
    StallMeter stalls;
    idle(std::min(60.0, minutes * 6));
    const long rss0 = residentKb();
    // The machine's own pauses, for comparison: an event loop doing nothing but the meter, in a
    // process of its own beside the soak.
    QProcess baseline;
    baseline.start(QCoreApplication::applicationFilePath(),
                   {"--idle", QString::number(minutes * 60)});
    stalls.Reset();
    stalls.keepOverMs = 10;
    const qint64 samples0 = Module1::LogCount;
    const double t0 = wallSeconds();
    idle(minutes * 60);
    const double seconds = wallSeconds() - t0;
    const long rss1 = residentKb();
    const std::vector<StallMeter::Gap> gaps = stalls.Gaps;
    const double rawStall = stalls.WorstMs();
    const int rawStallsOver = stalls.Over();
    p->Command1_Click(0); // Stop
    // The machine's own pauses stop the idle loop beside the program too: those times are taken
    // out of the program's gaps, and what is left is the program's stall.
    baseline.waitForFinished(60000);
    QList<QByteArray> idleLines = baseline.readAllStandardOutput().trimmed().split('\n');
    const double idleWorst = idleLines.takeFirst().toDouble();
    std::vector<StallMeter::Gap> idleGaps;
    for (const QByteArray &line : idleLines)
        idleGaps.push_back(
            {line.split(' ').value(0).toDouble(), line.split(' ').value(1).toDouble()});
    double stall = 0;
    qint64 stallAtMs = 0;
    int stallsOver = 0;
    for (const StallMeter::Gap &g : gaps) {
        const double own = OutsideOf(g, idleGaps);
        if (own > stall)
            stall = own, stallAtMs = qint64(g.endMs);
        stallsOver += own > 50;
    }
    // Polls: a gap of n intervals between two GETD misses n - 1. When a step went out in that
    // gap, the step rule skips one and the step's own exchanges (VOLT, CURR and their answers)
    // delay the next.
    QFile f(times);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    if (qEnvironmentVariableIsSet("QVR_BENCH_KEEP"))
        QFile::copy(times, qEnvironmentVariable("QVR_BENCH_KEEP"));
    std::vector<double> volt;
    double lastGetd = -1, stepMs = 0;
    int missed = 0, polls = 0;
    bool previousWasVolt = false;
    for (const QByteArray &entry : f.readAll().split('\n')) {
        const double ms = entry.left(entry.indexOf(' ')).toDouble() / 1000.0;
        const bool isVolt = entry.contains(" VOLT");
        if (qEnvironmentVariableIsSet("QVR_BENCH_KEEP") && std::abs(ms - stallAtMs) < 150)
            std::fprintf(stderr, "line %+.1f ms from the worst stall's end: %s\n", ms - stallAtMs,
                         entry.mid(entry.indexOf(' ') + 1).constData());
        if (isVolt && !previousWasVolt)
            volt.push_back(ms);
        previousWasVolt = isVolt;
        if (entry.contains(" CURR") && !volt.empty())
            stepMs = ms - volt.back() + 10 * CharDelayUs / 1000.0;
        if (!entry.endsWith(" GETD"))
            continue;
        ++polls;
        if (lastGetd >= 0) {
            const double gap = (ms - lastGetd - stepMs) / Module1::PollInterval;
            missed += std::max(0, int(std::lround(gap)) - 1 - (stepMs > 0 ? 1 : 0));
        }
        lastGetd = ms;
        stepMs = 0;
    }
    double drift = 0;
    for (size_t k = 0; k < volt.size(); ++k)
        drift = std::max(drift, std::abs(volt[k] - (volt[0] + double(k) * 1000)));
    print("soak_minutes", seconds / 60);
    print("soak_polls", polls);
    print("soak_steps", double(volt.size()));
    print("soak_samples", double(Module1::LogCount - samples0));
    print("soak_rss_start_kb", double(rss0));
    print("soak_rss_end_kb", double(rss1));
    figure("soak_rss_growth_kb", double(rss1 - rss0), 2048);
    figure("soak_missed_polls", missed, 0);
    figure("soak_step_drift_max_ms", drift, 50);
    figure("soak_stall_max_ms", stall, 50);
    print("soak_stalls_over_50ms", stallsOver);
    print("soak_stall_with_machine_max_ms", rawStall);
    print("soak_stalls_with_machine_over_50ms", rawStallsOver);
    print("soak_idle_loop_stall_max_ms", idleWorst);
    return volt.size() > 10 && soakReplug(minutes) && guardCharge();
}

} // namespace Bench
