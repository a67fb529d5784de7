// qvr-supply-sim: the simulated supply on a pseudo-terminal.
#include "PtyServer.h"
#include "SupplyModel.h"

#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}

// SIGUSR1 turns the faults given on, SIGUSR2 off: one supply can fail and recover.
volatile std::sig_atomic_t faultsWanted = -1; // -1: as they are
void onFaultSignal(int sig) {
    faultsWanted = sig == SIGUSR1 ? 1 : 0;
}

const char *const Usage =
    "Usage: qvr-supply-sim [options]\n"
    "Serves a simulated bench supply on a pseudo-terminal and prints the line\n"
    "QVR_COM<n>=/dev/pts/N that points QVR's port n at it. Runs until stopped.\n"
    "\n"
    "  --port N              port number for the printed variable (default 1)\n"
    "  --max-volt V          maximum voltage (default 30.0)\n"
    "  --max-curr A          maximum current (default 3.00)\n"
    "  --load OHM[,OHM@Ts]...  load resistance (default 10), and the resistances that take\n"
    "                        over T seconds after the first reading, e.g. 10,2@30s,10@40s\n"
    "  --battery AH[,V0,R]   a cell to charge instead of a resistor: AH ampere-hours, full at\n"
    "                        V0 volts (default 4.2, a lithium-ion curve scaled to it), internal\n"
    "                        resistance R ohm (default 0.1); it starts 20 % charged\n"
    "  --speed N             the cell's chemistry runs N times faster than the clock\n"
    "  --demo                start as the demo: load 7.5 ohm, an internal program of three\n"
    "                        10 s steps (5.0 V 1.00 A, 12.0 V 1.50 A, 8.0 V 0.50 A) and the\n"
    "                        memories k = 1..9 at 3k V, 0.3k A\n"
    "  --baud B              pace of the line: 10 bit times per character (e.g. 9600)\n"
    "  --char-delay-us US    time per character received and sent (default 0)\n"
    "  --log FILE            append every byte received to FILE\n"
    "  --line-times FILE     append \"<monotonic us> <line>\" for every line received\n"
    "Faults (apply to every command, or only to the one given with --only):\n"
    "  --only WORDS          limit the faults below to these command words, e.g. GMAX\n"
    "                        or VOLT,CURR\n"
    "  --silent              never answer, not even the echo\n"
    "  --answer-from K       stay silent for the first K-1 requests of each command word\n"
    "  --cut N               drop N characters from the end of every reply\n"
    "  --extra TEXT          append TEXT to every reply\n"
    "  --garbage             replace the answer after the echo by non-digits\n"
    "  --unplug-after N      the port disappears after N command lines\n"
    "  --unplug-at N         the port disappears on the N-th line (of the --only words),\n"
    "                        which goes unanswered\n"
    "  --faults-later        start without the faults; SIGUSR1 turns them on (the counts\n"
    "                        of --answer-from and --unplug-after start then), SIGUSR2 off\n"
    "  --reset-ms MS         how long SRST keeps the supply silent (default 10000)\n"
    "  --help                this text\n";

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    SupplyModel model;
    int port = 1;
    int charDelayUs = 0;
    bool faultsLater = false;
    double speed = 1;
    QString logPath, timesPath;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "qvr-supply-sim: %s needs a value\n", qPrintable(a));
                std::exit(2);
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (a == "--port") {
            port = value().toInt();
        } else if (a == "--max-volt") {
            model.maxVolt = value().toFloat();
        } else if (a == "--max-curr") {
            model.maxCurr = value().toFloat();
        } else if (a == "--demo") {
            // Something on every page for a first look: a short internal program, nine distinct
            // memories, and a load that keeps the current trace apart from the voltage trace
            // at the default scales (at 10 ohm and 30 V / 3 A they coincide).
            model.loadOhm = 7.5f;
            for (const char *line : {"PROP00501000010", "PROP11201500010", "PROP20800500010"})
                model.Receive(QByteArray(line) + '\r', 0);
            for (int k = 1; k <= 9; ++k)
                model.Receive(QStringLiteral("PROM%1%2%3\r")
                                  .arg(k)
                                  .arg(k * 30, 3, 10, QLatin1Char('0'))
                                  .arg(k * 30, 3, 10, QLatin1Char('0'))
                                  .toLatin1(),
                              0);
        } else if (a == "--load") {
            const QString text = value();
            const auto schedule = SimLoad::ParseSchedule(text);
            if (!schedule) {
                std::fprintf(stderr, "qvr-supply-sim: --load wants OHM[,OHM@Ts]..., not %s\n",
                             qPrintable(text));
                return 2;
            }
            model.loadOhm = schedule->front().ohm;
            model.loadSchedule.assign(schedule->begin() + 1, schedule->end());
        } else if (a == "--battery") {
            const QString text = value();
            model.cell = SimLoad::Cell::Parse(text);
            if (!model.cell) {
                std::fprintf(stderr, "qvr-supply-sim: --battery wants AH[,V0,R], not %s\n",
                             qPrintable(text));
                return 2;
            }
            model.cell->speed = speed;
        } else if (a == "--speed") {
            speed = value().toDouble();
            if (!(speed > 0)) {
                std::fprintf(stderr, "qvr-supply-sim: --speed wants a number above 0\n");
                return 2;
            }
            if (model.cell)
                model.cell->speed = speed;
        } else if (a == "--baud") {
            charDelayUs = int(10'000'000LL / std::max(1, value().toInt()));
        } else if (a == "--char-delay-us") {
            charDelayUs = value().toInt();
        } else if (a == "--log") {
            logPath = value();
        } else if (a == "--line-times") {
            timesPath = value();
        } else if (a == "--only") {
            model.faults.scope = value().toLatin1();
        } else if (a == "--silent") {
            model.faults.silent = true;
        } else if (a == "--answer-from") {
            model.faults.answerFrom = value().toInt();
        } else if (a == "--cut") {
            model.faults.cutChars = value().toInt();
        } else if (a == "--extra") {
            model.faults.extra = value().toLatin1();
        } else if (a == "--garbage") {
            model.faults.garbage = true;
        } else if (a == "--unplug-after") {
            model.faults.unplugAfter = value().toInt();
        } else if (a == "--unplug-at") {
            model.faults.unplugAt = value().toInt();
        } else if (a == "--faults-later") {
            faultsLater = true;
        } else if (a == "--reset-ms") {
            model.resetSilenceMs = value().toLongLong();
        } else {
            std::fprintf(stderr, "qvr-supply-sim: unknown option %s\n%s", qPrintable(a), Usage);
            return 2;
        }
    }

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGHUP, onSignal);
    std::signal(SIGUSR1, onFaultSignal);
    std::signal(SIGUSR2, onFaultSignal);
    const SupplyFaults given = model.faults;
    if (faultsLater)
        model.faults = {};

    PtyServer server(model, charDelayUs, logPath, timesPath);
    try {
        const QString path = server.open();
        std::printf("QVR_COM%d=%s\n", port, qPrintable(path));
        std::fflush(stdout);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qvr-supply-sim: %s\n", e.what());
        return 1;
    }
    server.serve(stopRequested, [&] {
        const int wanted = faultsWanted;
        if (wanted < 0)
            return;
        faultsWanted = -1;
        model.SetFaults(wanted ? given : SupplyFaults{});
        std::printf("faults %s\n", wanted ? "on" : "off"); // the sender waits for this
        std::fflush(stdout);
    });
    return 0;
}
