#include "SimProcess.h"

#include <QCoreApplication>
#include <csignal>

SimProcess::SimProcess(const QStringList &args, QString program) {
    if (program.isEmpty())
        program = QCoreApplication::applicationDirPath() + QStringLiteral("/qvr-supply-sim");
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, args);
    if (!process_.waitForStarted(5000))
        return;
    // The first line names the variable and the device: QVR_COM1=/dev/pts/5
    while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
    }
    const QString line = QString::fromLocal8Bit(process_.readLine()).trimmed();
    const int eq = line.indexOf(u'=');
    if (eq > 0) {
        variable_ = line.left(eq);
        device_ = line.mid(eq + 1);
    }
}

SimProcess::~SimProcess() {
    stop();
}

void SimProcess::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

bool SimProcess::setFaults(bool on) {
#ifdef Q_OS_WIN
    Q_UNUSED(on);
    return false; // the simulator runs on Linux only
#else
    if (process_.state() != QProcess::Running ||
        ::kill(pid_t(process_.processId()), on ? SIGUSR1 : SIGUSR2) != 0)
        return false;
    const QByteArray ack = on ? "faults on\n" : "faults off\n";
    while (!process_.canReadLine() && process_.waitForReadyRead(3000)) {
    }
    return process_.readLine() == ack;
#endif
}
