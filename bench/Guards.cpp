// The guards' figures: how soon a guard's safe output leaves the port, and (in the soak) a charge
// of the simulated cell to its end with a trip and a pulled port on the way.
#include "Bench.h"
#include "GuardKeeper.h"

#include <QFile>
#include <QMessageBox>
#include <QThread>
#include <algorithm>

namespace Bench {

namespace {

// Lets the window work until `done` or `seconds` have passed; whether it was done.
bool until(const std::function<bool()> &done, double seconds) {
    for (const double end = wallSeconds() + seconds; wallSeconds() < end;) {
        if (done())
            return true;
        idle(0.01);
    }
    return done();
}

} // namespace

// From the GETD reply that completes a hold to the safe output's first line leaving the port,
// at 9600-baud pace; the worst of eight trips. Times are the supply's own for the lines it
// received, less each line's and the reply's time on the wire.
bool guardAct() {
    QTemporaryDir timesDir;
    const QString times = timesDir.filePath("times.log");
    SimWindow run({"--char-delay-us", QString::number(CharDelayUs), "--line-times", times});
    if (!run.startSampling("the guards' act"))
        return false;
    TabbedFrm &w = *run.w;
    const double cd = CharDelayUs / 1e6;
    std::vector<double> acts;
    for (int i = 0; i < 8; ++i) {
        w.supply.SetVoltage(5);
        w.supply.SetCurrent(1);
        idle(0.7); // a reading at 5 V
        Guards::Plan plan;
        plan.conditions[Guards::VoltageAbove] = {true, 6, 0};
        if (!w.ArmGuards(plan).isEmpty())
            return false;
        const double t0 = wallSeconds();
        w.supply.SetVoltage(8);
        if (!until([&] { return w.supply.Guard().Now() == Guards::State::Tripped; }, 3)) {
            std::fprintf(stderr, "qvr-bench: the guard never tripped\n");
            return false;
        }
        idle(0.1); // the safe lines off the line
        const auto lines = LinesSince(times, t0);
        const auto safe = std::find_if(lines.begin(), lines.end(),
                                       [](const auto &l) { return l.second == "VOLT000"; });
        const auto poll = std::find_if(std::make_reverse_iterator(safe), lines.rend(),
                                       [](const auto &l) { return l.second == "GETD"; });
        if (safe == lines.end() || poll == lines.rend())
            return false;
        acts.push_back(((safe->first - 8 * cd) - (poll->first + 14 * cd)) * 1000);
        if (w.GuardBox)
            w.GuardBox->close();
    }
    figure("guard_act_ms", *std::max_element(acts.begin(), acts.end()), 30);
    return true;
}

// What watching adds to polling: two programs polling side by side over the same 6 s, one with
// every guard armed (none of which acts on a supply left alone) and one without, then the other
// way round, so that the machine's own moments fall on both alike.
bool guardPollCpu() {
    const QStringList paced{"--char-delay-us", QString::number(CharDelayUs)};
    const quint16 port = 5125 + quint16(getpid() % 20000);
    QvrRun a(paced), b(paced);
    if (!a.start({"--remote", QString::number(port)}) ||
        !b.start({"--remote", QString::number(port + 1)}))
        return false;
    QThread::sleep(2); // past start-up
    const QByteArray all = "GUAR:CURR:HIGH 2.9,1;:GUAR:VOLT:LOW 0.5,1;:GUAR:VOLT:HIGH 29,1;"
                           ":GUAR:CC 3600;:GUAR:CURR:LOW 0.001,3600;:GUAR:CHAR 100;:GUAR:ENER 1000;"
                           ":GUAR:TIME 36000;:GUAR:NREAD 60;:GUAR:ARM;:GUAR:STAT?";
    std::vector<double> added;
    for (QvrRun *with : {&a, &b}) {
        QvrRun *without = with == &a ? &b : &a;
        {
            Script arm(with == &a ? port : port + 1);
            Script disarm(with == &a ? port + 1 : port);
            if (arm.ask(all) != "ARMED" || disarm.ask("GUAR:DIS;:GUAR:STAT?") != "OFF") {
                std::fprintf(stderr, "qvr-bench: the guards would not arm\n");
                return false;
            }
        } // the scripts gone before the measurement
        QThread::msleep(300);
        added.push_back(CpuAdded(*with, *without, [] { return QThread::sleep(6), true; }));
    }
    print("guard_poll_cpu_pct_measured", (added[0] + added[1]) / 2); // below 0 is the machine's
    figure("guard_poll_cpu_pct", std::max(0.0, (added[0] + added[1]) / 2), 0.05);
    return true;
}

// The soak's row: a current limit set too low trips at once; the adapter is pulled under the
// "no reading" guard, which acts on the supply plugged in again; then a charge of that supply's
// cell (0.2 Ah, 100 times faster) from the panel's 4.2 V 1 A through C.C. into C.V. ends by
// itself. `guard_done_after_s` is from the first reading below 0.05 A in C.V. (the model's own
// end, as the polls see it) to the guard's act, against the 2 s hold plus one poll.
bool guardCharge() {
    QTemporaryDir dir;
    const QString path = dir.filePath("ttyQVR");
    const QStringList cell{"--battery", "0.2", "--speed", "100"};
    auto sim = std::make_unique<SimProcess>(cell);
    const auto plugIn = [&] {
        QFile::remove(path);
        return sim->started() && QFile::link(sim->device(), path);
    };
    if (!plugIn())
        return false;
    qputenv("QVR_COM1", QFile::encodeName(path));
    {
        Database db;
        db.Open(dir.filePath(Database::FileName));
        SettingsTable::RememberPort(db, 1);
    }
    Module1::ResetSharedState();
    SerialComm1 port;
    YesDialogs dialogs;
    TabbedFrm w(port, dialogs, SystemClock::instance(), dir.filePath(Database::FileName));
    if (!w.Form_Load() || !Module1::Connected)
        return false;
    w.Form_Activate();
    w.SetAutoReconnect(true);
    int acts = 0, wanted = 0;
    const auto acted = [&](Guards::State state) {
        ++wanted;
        const bool ok = until([&] { return w.supply.Guard().Now() == state; }, 15);
        acts += ok;
        return ok;
    };
    using namespace Guards;
    Plan low;
    low.conditions[CurrentAbove] = {true, 0.5, 0.3};
    w.supply.SetVoltage(4.2);
    w.supply.SetCurrent(1);
    if (!w.ArmGuards(low).isEmpty())
        return false;
    acted(State::Tripped);

    Plan silent;
    silent.conditions[NoReading] = {true, 0, 1};
    if (!w.ArmGuards(silent).isEmpty())
        return false;
    sim.reset(); // pulled
    until([&] { return w.supply.Guard().Pending(); }, 5);
    sim = std::make_unique<SimProcess>(cell);
    if (!plugIn())
        return false;
    acted(State::Tripped);

    double endS = -1, doneS = -1;
    QObject::connect(&w.supply, &Supply::readingChanged, [&] {
        const Supply::Output &r = w.supply.Last();
        if (endS < 0 && r.mode == u"CV" && r.amps >= 0 && r.amps < 0.05f && r.volts > 4)
            endS = wallSeconds();
    });
    w.supply.SetVoltage(4.2);
    w.supply.SetCurrent(1);
    Plan charge;
    charge.conditions[CurrentBelowInCv] = {true, 0.05, 2};
    charge.conditions[NoReading] = {true, 0, 10};
    if (!w.ArmGuards(charge).isEmpty())
        return false;
    if (acted(State::Done))
        doneS = wallSeconds();
    print("guard_acts", acts);
    figure("guard_missed_acts", wanted - acts, 0);
    if (endS < 0 || doneS < 0) {
        std::fprintf(stderr, "qvr-bench: the charge never ended\n");
        return false;
    }
    figure("guard_done_after_s", doneS - endS, 2 + Module1::PollInterval / 1000.0);
    return true;
}

} // namespace Bench
