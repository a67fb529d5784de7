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

const char *const Usage =
    "Usage: qvr-supply-sim [options]\n"
    "Serves a simulated bench supply on a pseudo-terminal and prints the line\n"
    "QVR_COM<n>=/dev/pts/N that points QVR's port n at it. Runs until stopped.\n"
    "\n"
    "  --port N              port number for the printed variable (default 1)\n"
    "  --max-volt V          maximum voltage (default 30.0)\n"
    "  --max-curr A          maximum current (default 3.00)\n"
    "  --load OHM            load resistance (default 10)\n"
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
    "  --help                this text\n";

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    SupplyModel model;
    int port = 1;
    int charDelayUs = 0;
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
        } else if (a == "--load") {
            model.loadOhm = value().toFloat();
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
        } else {
            std::fprintf(stderr, "qvr-supply-sim: unknown option %s\n%s", qPrintable(a), Usage);
            return 2;
        }
    }

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGHUP, onSignal);

    PtyServer server(model, charDelayUs, logPath, timesPath);
    try {
        const QString path = server.open();
        std::printf("QVR_COM%d=%s\n", port, qPrintable(path));
        std::fflush(stdout);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qvr-supply-sim: %s\n", e.what());
        return 1;
    }
    server.serve(stopRequested);
    return 0;
}
