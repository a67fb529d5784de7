// qvr-bench: performance figures of QVR against qvr-supply-sim, one "name=value" per line, with
// its target where it has one; "--soak MINUTES" runs the long unattended check instead.
#include "Bench.h"
#include "ChartImage.h"
#include "ChartScale.h"
#include "ChartSurface.h"
#include "Clock.h"
#include "DataLogPage.h"
#include "Database.h"
#include "Dialogs.h"
#include "Exchange.h"
#include "GridEditor.h"
#include "LogTables.h"
#include "Module1.h"
#include "ProgramPages.h"
#include "Recorder.h"
#include "SampleStore.h"
#include "SerialComm1.h"
#include "SimProcess.h"
#include "StallMeter.h"
#include "TabbedFrm.h"
#include "Tables.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Bench;

namespace {

bool attach(SimProcess &sim, SerialComm1 &port) {
    if (!sim.started()) {
        std::fprintf(stderr, "qvr-bench: qvr-supply-sim did not start\n");
        return false;
    }
    qputenv(sim.variable().toLatin1(), sim.device().toLatin1());
    port.setCommPort(1);
    port.setPortOpen(true);
    return true;
}

// GETD round trips on a paced line: how much the exchange adds to the line's own time.
bool exchangeLatency() {
    SimProcess sim({"--char-delay-us", QString::number(CharDelayUs)});
    SerialComm1 port;
    if (!attach(sim, port))
        return false;
    auto &clock = SystemClock::instance();
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const double t0 = wallSeconds();
        const QByteArray reply = Exchange(port, clock, Protocol::Line("GETD"), Protocol::GetdWait);
        ms.push_back((wallSeconds() - t0) * 1000);
        if (reply.size() != 14) {
            std::fprintf(stderr, "qvr-bench: short GETD reply (%d)\n", int(reply.size()));
            return false;
        }
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p99 = ms[std::min(ms.size() - 1, size_t(ms.size() * 0.99))];
    const double floorMs = 19 * CharDelayUs / 1000.0;
    print("getd_wire_floor_ms", floorMs);
    print("getd_median_ms", median);
    print("getd_p99_ms", p99);
    figure("exchange_latency_ratio", median / floorMs, 1.10);
    return true;
}

// CPU spent while waiting for a supply that never answers: a busy wait would show ~100.
bool silentWaitCpu() {
    SimProcess sim({"--silent"});
    SerialComm1 port;
    if (!attach(sim, port))
        return false;
    auto &clock = SystemClock::instance();
    const double cpu0 = cpuSeconds(), wall0 = wallSeconds();
    for (int i = 0; i < 20; ++i)
        Exchange(port, clock, Protocol::Line("GETD"), {14, 0.2});
    const double cpu = cpuSeconds() - cpu0, wall = wallSeconds() - wall0;
    print("silent_wait_wall_s", wall);
    figure("silent_wait_cpu_pct", cpu / wall * 100, 2);
    return true;
}

// CPU the program uses while it polls: a supply that answers at 9600-baud pace, and one that
// answered GMAX but stays silent to every GETD.
bool pollCpu() {
    const double seconds = qEnvironmentVariableIntValue("QVR_BENCH_SECONDS") > 0
                               ? qEnvironmentVariableIntValue("QVR_BENCH_SECONDS")
                               : 12;
    double worst = 0;
    for (const auto &[name, args] :
         {std::pair<const char *, QStringList>{"poll_cpu_pct_answering",
                                               {"--char-delay-us", QString::number(CharDelayUs)}},
          {"poll_cpu_pct_silent", {"--only", "GETD", "--silent"}}}) {
        QvrRun run(args);
        if (!run.start())
            return false;
        QThread::sleep(1); // past start-up
        const double cpu0 = run.cpuSeconds(), wall0 = wallSeconds();
        QThread::usleep(static_cast<unsigned long>(seconds * 1e6));
        const double pct = (run.cpuSeconds() - cpu0) / (wallSeconds() - wall0) * 100;
        figure(name, pct, 2);
        worst = std::max(worst, pct);
    }
    figure("poll_cpu_pct", worst, 2);
    return true;
}

// From starting the qvr process to the first GETD byte reaching the supply (settings record
// present, supply answering at 9600-baud pace, offscreen); negative when it never polled.
double startupMs(const std::function<void(Database &)> &fill = {}) {
    QTemporaryDir logDir;
    const QString log = logDir.filePath("rx.log");
    QvrRun run({"--char-delay-us", QString::number(CharDelayUs)}, log, fill);
    const double t0 = wallSeconds();
    if (!run.start())
        return -1;
    QFile f(log);
    while (wallSeconds() - t0 < 10) {
        if (f.open(QIODevice::ReadOnly)) {
            if (f.readAll().contains("GETD"))
                return (wallSeconds() - t0) * 1000;
            f.close();
        }
        QThread::usleep(500);
    }
    std::fprintf(stderr, "qvr-bench: qvr never polled\n");
    return -1;
}

// A well-used database: 1000 tables of each program family and 1000 full logs.
void fillLarge(Database &db) {
    const QStringList step{"12.5", "1.25", "01", "30"};
    db.Atomically([&] {
        for (Tables::Family family :
             {Tables::Family::Internal, Tables::Family::External, Tables::Family::Preset})
            for (int i = 0; i < 1000; ++i)
                db.RewriteTable(
                    Tables::TableName(family, QStringLiteral("table %1").arg(i)),
                    Tables::Fields(family),
                    QList<QStringList>(10, step.mid(0, int(Tables::Fields(family).size()))));
        SampleStore store;
        for (int k = 0; k < SampleStore::Slots; ++k)
            store.Push(12.5f, 1.25f);
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; i < 1000; ++i)
            LogTables::Save(db, LogTables::Prefix(2000) + QStringLiteral("log %1").arg(i), store,
                            now);
    });
}

// Small and large in turn, three times: the medians, so that one slow start decides nothing.
bool startupTime() {
    std::vector<double> small, large;
    for (int i = 0; i < 3; ++i) {
        small.push_back(startupMs());
        large.push_back(startupMs(fillLarge));
        if (small.back() < 0 || large.back() < 0)
            return false;
    }
    figure("startup_ms", median(small), 1000);
    figure("startup_large_ms", median(large), 1.5 * median(small));
    return true;
}

// Answers every question with Yes, so that Save overwrites.

// A 100-step external table: saved over itself and opened into the grid, 20 times each.
bool tableSaveAndOpen() {
    QTemporaryDir dir;
    Database db;
    db.Open(dir.filePath(Database::FileName));
    YesDialogs dialogs;
    QTabWidget tab;
    ManualClock clock;
    SerialComm1 port; // never opened: the table flows do not talk to the supply
    PageContext ctx(db, dialogs, port, clock);
    ctx.Tab1 = &tab;
    GridEditor editor(&tab, dialogs);
    ctx.editor = &editor;
    InternalPage internal(ctx);
    ExternalPage external(ctx);
    PresetPage preset(ctx);
    ctx.pages = {&internal, &external, &preset};
    editor.Attach(ctx.pages);
    for (ProgramPage *page : ctx.pages)
        tab.addTab(page, QString());
    for (ProgramPage *page : ctx.pages)
        page->SetUp();
    tab.setCurrentIndex(1);
    tab.show();
    external.Text1->setText(QStringLiteral("100"));
    external.NewTable();
    for (int r = 1; r <= 100; ++r)
        external.FGrid->SetDataRow(r, {QString::number(r), QStringLiteral("12.5"),
                                       QStringLiteral("1.25"), QStringLiteral("01"),
                                       QString::number(r % 60).rightJustified(2, u'0')});
    external.Combo1[0]->setEditText(QStringLiteral("bench"));
    external.Command1_Click(3); // created
    std::vector<double> save, open;
    for (int i = 0; i < 20; ++i) {
        double t = wallSeconds();
        external.Command1_Click(3);
        save.push_back((wallSeconds() - t) * 1000);
        t = wallSeconds();
        external.Command1_Click(2);
        QCoreApplication::processEvents(); // the repaint belongs to the cost
        open.push_back((wallSeconds() - t) * 1000);
    }
    if (db.ReadAll(QStringLiteral("B_bench")).size() != 100 || external.FGrid->Rows() != 101) {
        std::fprintf(stderr, "qvr-bench: the 100-step table did not round-trip\n");
        return false;
    }
    figure("table_save_ms", median(save), 20);
    figure("table_open_ms", median(open), 10);
    return true;
}

// An external run of `steps` steps of `stepS` seconds against the simulator at 9600-baud pace:
// the largest difference between the ideal and the actual moment a step's VOLT line reached the
// supply.
bool stepDrift(const char *name, int stepS, int steps, const QStringList &faults) {
    QTemporaryDir timesDir;
    const QString times = timesDir.filePath("times.log");
    SimWindow run(
        QStringList{"--char-delay-us", QString::number(CharDelayUs), "--line-times", times} +
        faults);
    if (!run.start(name))
        return false;
    TabbedFrm &w = *run.w;
    w.Form_Activate();
    ExternalPage *p = w.externalPage;
    w.Tab1->setCurrentIndex(1);
    p->Text1->setText(QString::number(steps));
    p->NewTable();
    for (int r = 1; r <= steps; ++r)
        p->FGrid->SetDataRow(r, {QString::number(r), QStringLiteral("05.0"), QStringLiteral("1.00"),
                                 QStringLiteral("00"),
                                 QString::number(stepS).rightJustified(2, u'0')});
    p->Combo1[1]->setEditText(QStringLiteral("1"));
    // Start-up's last line (SESS) may still be on its way back; a first VOLT behind it would
    // shift the whole run by its length.
    QThread::msleep(300);
    p->Command1_Click(0);
    const double t0 = wallSeconds();
    while (p->Running() && wallSeconds() - t0 < steps * stepS + 20)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QFile f(times);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    // The first VOLT of each step: a silent supply is asked up to four times.
    std::vector<double> volt;
    bool previousWasVolt = false;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const bool isVolt = line.contains(" VOLT");
        if (isVolt && !previousWasVolt)
            volt.push_back(line.left(line.indexOf(' ')).toDouble() / 1000.0);
        previousWasVolt = isVolt;
    }
    if (volt.size() < size_t(steps)) {
        std::fprintf(stderr, "qvr-bench: %s saw %d steps\n", name, int(volt.size()));
        return false;
    }
    double worst = 0;
    for (size_t k = 0; k < size_t(steps); ++k)
        worst = std::max(worst, std::abs(volt[k] - (volt[0] + double(k) * stepS * 1000)));
    figure(name, worst, 10);
    return true;
}

// Characters of the supply's answer to `line` (its echo included).
int replyChars(const QByteArray &line) {
    if (line == "GETD" || line == "GMAX")
        return 14;
    if (line == "GETP")
        return 127;
    if (line == "GETM0")
        return 71;
    if (line == "SESS" || line == "ENDS")
        return int(line.size()) + 1;
    return int(line.size()) + 3; // echo, CR, "OK"
}

// The line's own time for what went each way from `t0` (s) until the line `last` arrived:
// every line and its answer, `last` itself without one. Negative when `last` never came.
double wireMs(const QString &times, double t0, const QByteArray &last, double *arrivedS) {
    int chars = 0;
    for (const auto &[at, line] : LinesSince(times, t0)) {
        chars += int(line.size()) + 1;
        if (line == last) {
            *arrivedS = at;
            return chars * CharDelayUs / 1000.0;
        }
        chars += replyChars(line);
    }
    return -1;
}

// The internal Run (ten PROP lines, then RUNP) and the preset Read (GETM0) against their
// line's own time at 9600 baud: what the program adds between the exchanges; medians of 10.
bool sequenceRatios() {
    QTemporaryDir timesDir;
    const QString times = timesDir.filePath("times.log");
    SimWindow run({"--char-delay-us", QString::number(CharDelayUs), "--line-times", times});
    if (!run.start("the sequence figures"))
        return false;
    TabbedFrm &w = *run.w;
    InternalPage *in = w.internalPage;
    for (int r = 1; r <= 10; ++r)
        in->FGrid->SetDataRow(r,
                              {QString::number(r), QStringLiteral("05.0"), QStringLiteral("1.00"),
                               QStringLiteral("00"), QStringLiteral("10")});
    in->Combo0[1]->setEditText(QStringLiteral("1"));
    QThread::msleep(300); // start-up's last answer off the line
    std::vector<double> runs, reads;
    for (int i = 0; i < 10; ++i) {
        const double t0 = wallSeconds();
        in->Command0_Click(0);
        double arrived = 0;
        const double wire = wireMs(times, t0, "RUNP1", &arrived);
        in->Command0_Click(0); // Stop
        if (wire <= 0)
            break;
        runs.push_back((arrived - t0) * 1000 / wire);
        QThread::msleep(50);
        const double t1 = wallSeconds();
        w.presetPage->Command2_Click(1);
        reads.push_back((wallSeconds() - t1) * 1000 / ((6 + 71) * CharDelayUs / 1000.0));
        QThread::msleep(50);
    }
    if (runs.size() < 10) {
        std::fprintf(stderr, "qvr-bench: RUNP never reached the supply\n");
        return false;
    }
    figure("run_internal_ratio", median(runs), 1.15);
    figure("preset_read_ratio", median(reads), 1.15);
    return true;
}

// A full live store on a page of its own.
struct FullPage {
    QTemporaryDir dir;
    Database db;
    YesDialogs dialogs;
    DataLogPage page{db, dialogs, SystemClock::instance()};
    FullPage() {
        Module1::ResetSharedState();
        Module1::MaxVolt = 30;
        Module1::MaxCurr = 3;
        Module1::Connected = true;
        db.Open(dir.filePath(Database::FileName));
        page.SetUp({});
        for (int k = 0; k < SampleStore::Slots; ++k)
            LiveStore.Push(float(15 + 10 * std::sin(k / 50.0)), float(1.5 + std::cos(k / 40.0)));
        page.resize(940, 470);
        page.show();
    }
    // A time window that shows all 3600 slots: 12 minutes a division at 2 s.
    void ShowAllSlots() {
        ChartScale::Scale s = page.ReadScale();
        s.field[ChartScale::TimeDiv] = QStringLiteral("12m");
        ChartScale::TimeLabels(s, false);
        page.ShowScale(s);
        QCoreApplication::processEvents();
    }
};

// Both traces of a full store in a window that shows all 3600 slots (12 minutes a division at
// 2 s), drawn and painted offscreen.
bool chartRedraw() {
    FullPage f;
    f.ShowAllSlots();
    std::vector<double> ms;
    for (int i = 0; i < 50; ++i) {
        const double t = wallSeconds();
        f.page.Picture1_Set_PVC();
        f.page.Picture1->repaint();
        ms.push_back((wallSeconds() - t) * 1000);
    }
    figure("chart_redraw_ms", median(ms), 2);
    return true;
}

// The hover cursor moved across the chart of a full store (both traces, all 3600 slots shown),
// the statistics of a cursor pair recomputed and the surface painted each time; then the chart
// saved as a PNG image.
bool chartReading() {
    FullPage f;
    f.ShowAllSlots();
    f.page.RedrawByMode();
    f.page.Cursors.a = 2, f.page.Cursors.b = SampleStore::Slots;
    ChartSurface *chart = f.page.Picture1;
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const QPointF at((i + 0.5) * chart->width() / 200.0, chart->height() / 2.0);
        const double t = wallSeconds();
        QMouseEvent move(QEvent::MouseMove, at, chart->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(chart, &move);
        f.page.UpdateReadings();
        chart->repaint();
        ms.push_back((wallSeconds() - t) * 1000);
    }
    if (!f.page.Cursors.hover) {
        std::fprintf(stderr, "qvr-bench: the hover cursor found no sample\n");
        return false;
    }
    figure("cursor_update_ms", median(ms), 2);
    ms.clear();
    const QString png = f.dir.filePath(QStringLiteral("chart.png"));
    for (int i = 0; i < 10; ++i) {
        const double t = wallSeconds();
        ChartImage::Write(png, f.page.PrintedPage(true));
        ms.push_back((wallSeconds() - t) * 1000);
    }
    figure("chart_image_png_ms", median(ms), 100);
    return true;
}

// A log of 3600 samples saved over itself and opened into the log store, 20 times each.
bool logSaveAndOpen() {
    FullPage f;
    QComboBox *name = f.page.Combo3[ChartScale::LogName];
    name->setEditText(QStringLiteral("bench"));
    f.page.MnuSave_Click(); // created
    std::vector<double> save, open;
    for (int i = 0; i < 20; ++i) {
        double t = wallSeconds();
        f.page.MnuSave_Click();
        save.push_back((wallSeconds() - t) * 1000);
        name->setCurrentIndex(0);
        t = wallSeconds();
        f.page.Combo3_Click(ChartScale::LogName);
        open.push_back((wallSeconds() - t) * 1000);
    }
    if (LogStore.at(2, 3600) != LiveStore.at(2, 3600) || !f.page.Option3[1]->isChecked()) {
        std::fprintf(stderr, "qvr-bench: the log did not round-trip\n");
        return false;
    }
    figure("log_save_ms", median(save), 30);
    figure("log_open_ms", median(open), 10);
    return true;
}

// Exporting a full store to a file (written beside it and renamed into place), and printing
// one page of it into a PDF file; medians of 20.
bool exportAndPrint() {
    FullPage f;
    const QString file = f.dir.filePath("bench.xls");
    std::vector<double> exports, prints;
    for (int i = 0; i < 20; ++i) {
        f.dialogs.answer = file;
        double t = wallSeconds();
        f.page.MnuExport_Click();
        exports.push_back((wallSeconds() - t) * 1000);
        f.dialogs.answer = f.dir.filePath("bench.pdf");
        t = wallSeconds();
        f.page.MnuPrin_Click();
        prints.push_back((wallSeconds() - t) * 1000);
    }
    if (QFileInfo(file).size() < 3600 * 10 || QFileInfo(f.dir.filePath("bench.pdf")).size() == 0) {
        std::fprintf(stderr, "qvr-bench: no export or no print-out\n");
        return false;
    }
    figure("export_ms", median(exports), 10);
    figure("print_pdf_ms", median(prints), 200);
    return true;
}

// The CPU of the window sampling every 0.5 s with the Data Log page shown, against the simulator
// at 9600-baud pace, for `seconds`, without and with a recording to a file; `recordFile` empty
// for none. Negative when it did not sample.
double samplingCpu(const QString &recordFile, double seconds) {
    SimWindow run({"--char-delay-us", QString::number(CharDelayUs)});
    if (!run.startSampling("the sampling figure"))
        return -1;
    run.w->Tab1->setCurrentIndex(3);
    if (!recordFile.isEmpty() && !run.w->dataLogPage->StartRecording(recordFile))
        return -1;
    const double cpu0 = cpuSeconds(), wall0 = wallSeconds();
    const qint64 count0 = Module1::LogCount;
    idle(seconds);
    if (Module1::LogCount - count0 < qint64(seconds)) {
        std::fprintf(stderr, "qvr-bench: only %d samples\n", int(Module1::LogCount - count0));
        return -1;
    }
    return (cpuSeconds() - cpu0) / (wallSeconds() - wall0) * 100;
}

// Without and with a recording in turn, three times, so that the machine's slower moments fall on
// both: the medians.
bool sampleTickCpu() {
    const double seconds = qEnvironmentVariableIntValue("QVR_BENCH_SECONDS") > 0
                               ? qEnvironmentVariableIntValue("QVR_BENCH_SECONDS")
                               : 24;
    QTemporaryDir dir;
    std::vector<double> plain, recording;
    for (int i = 0; i < 3; ++i) {
        plain.push_back(samplingCpu({}, seconds / 3));
        recording.push_back(samplingCpu(dir.filePath("run.csv"), seconds / 3));
        if (plain.back() < 0 || recording.back() < 0)
            return false;
    }
    figure("sample_tick_cpu_pct", median(plain), 3);
    figure("record_cpu_pct", median(recording), median(plain) + 0.3);
    return true;
}

// One recorded line written, the flush to the kernel included, at the cadence of 0.5 s
// sampling (so that every twentieth line also waits for its sync to the disk): the 99th
// percentile of 2000 lines.
bool recordLine() {
    QTemporaryDir dir;
    ManualClock clock;
    Recorder recorder(clock);
    recorder.Start(dir.filePath("run.csv"), QStringLiteral("recording started"));
    const Recording::Context context{QStringLiteral("CV"), QStringLiteral("external step 3 pass 1"),
                                     12.3f, 1.5f};
    std::vector<double> us;
    for (int i = 0; i < 2000; ++i) {
        clock.advance(500);
        const double t = wallSeconds();
        if (!recorder.Sample(12.34f, 1.234f, context)) {
            std::fprintf(stderr, "qvr-bench: %s\n", qPrintable(recorder.Failure()));
            return false;
        }
        us.push_back((wallSeconds() - t) * 1e6);
    }
    std::sort(us.begin(), us.end());
    figure("record_line_us_p99", us[us.size() * 99 / 100], 500);
    return true;
}

// With QVR_BENCH_SLOW_MS set, every event whose handling took longer is reported, with its
// receiver: where a stall comes from.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override {
        if (slowMs_ < 0)
            return QApplication::notify(receiver, event);
        // The receiver may be gone afterwards (a deferred delete): its names are taken first.
        const QByteArray what = QByteArray::number(event->type()) + " to " +
                                receiver->metaObject()->className() + ' ' +
                                receiver->objectName().toUtf8();
        QElapsedTimer t;
        t.start();
        const bool done = QApplication::notify(receiver, event);
        if (t.elapsed() >= slowMs_)
            std::fprintf(stderr, "slow event %lld ms at %lld: type %s\n", t.elapsed(),
                         t.msecsSinceReference(), what.constData());
        return done;
    }

private:
    int slowMs_ = qEnvironmentVariableIsSet("QVR_BENCH_SLOW_MS")
                      ? qEnvironmentVariableIntValue("QVR_BENCH_SLOW_MS")
                      : -1;
};

} // namespace

int main(int argc, char *argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    try {
        bool ok = true;
        const QStringList args = app.arguments();
        // The figures in groups, so that one can be measured again on its own.
        const std::vector<std::pair<QString, std::function<bool()>>> groups{
            {"tables", tableSaveAndOpen},
            {"chart", chartRedraw},
            {"reading", chartReading},
            {"logs", logSaveAndOpen},
            {"export", exportAndPrint},
            {"sampling", sampleTickCpu},
            {"recording", recordLine},
            {"reconnect", reconnectTime},
            {"steps",
             [] {
                 // 14 slow steps: a silent supply's retries fit in each, and the whole benchmark
                 // in five minutes.
                 return stepDrift("step_drift_ms", 1, 20, {}) &
                        stepDrift("step_drift_silent_ms", 3, 14,
                                  {"--only", "VOLT,CURR", "--silent"});
             }},
            {"sequences", sequenceRatios},
            {"latency", exchangeLatency},
            {"silent", silentWaitCpu},
            {"startup", startupTime},
            {"polling", pollCpu},
            {"remote", remoteFigures},
            {"view", viewFigures},
            {"guards", [] { return guardAct() & guardPollCpu(); }},
            {"metrics", [] { return metricsFigures() & metricsIdleCpu(); }},
        };
        QStringList only;
        if (args.size() == 3 && args[1] == QLatin1String("--only"))
            only = args[2].split(u',');
        if (args.size() == 3 && args[1] == QLatin1String("--idle")) { // the soak's baseline
            StallMeter stalls;
            stalls.keepOverMs = 5;
            idle(args[2].toDouble());
            std::printf("%.3f\n", stalls.WorstMs());
            for (const StallMeter::Gap &g : stalls.Gaps)
                std::printf("%.3f %.3f\n", g.startMs, g.endMs);
            return 0;
        }
        if (args.size() == 3 && args[1] == QLatin1String("--write-week")) {
            WriteWeek(args[2], 7LL * 24 * 3600 * 2);
            return 0;
        }
        if (args.size() == 2 && args[1] == QLatin1String("--guard-charge")) { // the soak's row alone
            ok = guardCharge();
        } else if (args.size() == 3 && args[1] == QLatin1String("--soak") && args[2].toDouble() > 0) {
            ok = soak(args[2].toDouble());
        } else if (args.size() > 1 && only.isEmpty()) {
            QStringList names;
            for (const auto &group : groups)
                names << group.first;
            std::fprintf(stderr,
                         "Usage: qvr-bench [--only GROUP,...] | --soak MINUTES | --guard-charge |\n"
                         "                 --write-week FILE\n"
                         "Groups: %s\n",
                         qPrintable(names.join(u' ')));
            return 2;
        } else {
            for (const auto &[name, measure] : groups)
                if (only.isEmpty() || only.contains(name))
                    ok = measure() && ok;
        }
        for (const std::string &name : misses)
            std::fprintf(stderr, "qvr-bench: %s misses its target by more than half\n",
                         name.c_str());
        return ok && misses.empty() ? 0 : 1;
    } catch (const std::runtime_error &e) {
        std::fprintf(stderr, "qvr-bench: %s\n", e.what());
        return 1;
    }
}
