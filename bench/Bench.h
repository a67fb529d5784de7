// What the figures of qvr-bench share: the clocks, the printing of a figure against its target,
// the window against a simulator, and dialogs that answer by themselves.
#pragma once

#include "Clock.h"
#include "Database.h"
#include "Dialogs.h"
#include "Guards.h"
#include "Module1.h"
#include "SerialComm1.h"
#include "SimProcess.h"
#include "TabbedFrm.h"
#include "Tables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTcpSocket>
#include <cmath>
#include <functional>
#include <unistd.h>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace Bench {

constexpr int CharDelayUs = 1042; // 9600 baud, 10 bits a character

double cpuSeconds();
double wallSeconds();
// A figure for information only.
void print(const char *name, double value);
// Figures that missed their target by more than half of it: the run fails.
extern std::vector<std::string> misses;
void figure(const char *name, double value, double target);
double median(std::vector<double> v);
// The lines the supply received from `t0` (monotonic s) on, from its --line-times file: when each
// arrived, and its text.
std::vector<std::pair<double, QByteArray>> LinesSince(const QString &times, double t0);
// Lets the window work for `seconds`, sleeping between events as the program's own loop does.
void idle(double seconds);
long residentKb();

class YesDialogs : public Dialogs {
public:
    Answer MsgBox(const QString &, Buttons, Icon, const QString &) override { return Answer::Yes; }
    std::optional<QString> InputBox(const QString &, const QString &d, const QString &) override {
        return d;
    }
    // The file the next export or print-out goes to; none cancels.
    std::optional<QString> SaveFileName(const QString &, const QString &, const QString &,
                                        const QString &) override {
        return answer;
    }
    QStringList OpenFileNames(const QString &, const QString &, const QString &) override {
        return answer ? QStringList{*answer} : QStringList();
    }
    bool PrintSetup(QPrinter &printer) override {
        if (!answer)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(*answer);
        return true;
    }
    std::optional<QString> answer;
};

// The main window connected to a simulator on port 1, as the program starts.
struct SimWindow {
    QTemporaryDir dir;
    SimProcess sim;
    SerialComm1 port;
    YesDialogs dialogs;
    std::unique_ptr<TabbedFrm> w;
    explicit SimWindow(const QStringList &simArgs) : sim(simArgs) {}
    bool start(const char *what) {
        if (!sim.started())
            return false;
        qputenv(sim.variable().toLatin1(), sim.device().toLatin1());
        {
            Database db;
            db.Open(dir.filePath(Database::FileName));
            SettingsTable::RememberPort(db, 1);
        }
        Module1::ResetSharedState();
        w = std::make_unique<TabbedFrm>(port, dialogs, SystemClock::instance(),
                                        dir.filePath(Database::FileName));
        if (!w->Form_Load() || !Module1::Connected) {
            std::fprintf(stderr, "qvr-bench: no supply for %s\n", what);
            return false;
        }
        return true;
    }
    // Shown and active, sampling every 0.5 s.
    bool startSampling(const char *what) {
        if (!start(what))
            return false;
        w->show();
        w->Form_Activate();
        Module1::SampleMs = 500;
        return true;
    }
};

// A blocking client of a `qvr --remote` process.
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

// A qvr process polling a supply that the bench started, with its database in `dir`.
class QvrRun {
public:
    // `fill` adds to the database before the program starts.
    QvrRun(const QStringList &simArgs, const QString &log = QString(),
           const std::function<void(Database &)> &fill = {}) {
        QStringList args = simArgs;
        if (!log.isEmpty())
            args << "--log" << log;
        sim_ = std::make_unique<SimProcess>(args);
        if (!sim_->started())
            return;
        Database db;
        db.Open(QDir(dir_.path()).filePath(Database::FileName));
        SettingsTable::RememberPort(db, 1);
        if (fill)
            fill(db);
    }
    bool start(const QStringList &qvrArgs = {}) {
        if (!sim_->started())
            return false;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QVR_DATA_DIR", dir_.path());
        env.insert(sim_->variable(), sim_->device());
        qvr_.setProcessEnvironment(env);
        qvr_.start(QCoreApplication::applicationDirPath() + "/qvr", qvrArgs);
        return qvr_.waitForStarted();
    }
    // CPU seconds the qvr process has used so far, all its threads: the scheduler's nanoseconds
    // (/proc/PID/task/*/schedstat), where the clock ticks of /proc/PID/stat would make 10 ms
    // the smallest step.
    double cpuSeconds() const {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(qvr_.processId()));
        double ns = 0;
        for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks.filePath(task + QStringLiteral("/schedstat")));
            if (stat.open(QIODevice::ReadOnly))
                ns += stat.readAll().split(' ').value(0).toDouble();
        }
        return ns / 1e9;
    }
    ~QvrRun() {
        qvr_.terminate();
        qvr_.waitForFinished(5000);
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<SimProcess> sim_;
    QProcess qvr_;
};

// Two programs side by side over the period `window` runs (which returns false when it fails):
// the CPU, in points of one core, that `with` used beyond `without`, NaN on failure. `alone`
// gets `without`'s own. Measured both ways round, the machine's moments fall on both alike.
inline double CpuAdded(QvrRun &with, QvrRun &without, const std::function<bool()> &window,
                       double *alone = nullptr) {
    const double w0 = with.cpuSeconds(), o0 = without.cpuSeconds(), t0 = wallSeconds();
    if (!window())
        return std::nan("");
    const double wall = wallSeconds() - t0;
    const double own = (without.cpuSeconds() - o0) / wall * 100;
    if (alone)
        *alone = own;
    return (with.cpuSeconds() - w0) / wall * 100 - own;
}

// Remote control's figures (Remote.cpp).
bool remoteFigures();
bool metricsFigures(); // the monitoring endpoint's
bool metricsIdleCpu();

// Recordings read back (History.cpp); the bench's week, also for a look by hand.
bool viewFigures();
void WriteWeek(const QString &path, qint64 samples);

// The guards (Guards.cpp).
bool guardAct();
bool guardPollCpu();
bool guardCharge(); // the soak's row

// The long unattended checks (Soak.cpp).
bool reconnectTime();
bool soak(double minutes);

} // namespace Bench
