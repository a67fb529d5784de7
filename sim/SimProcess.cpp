#include "SimProcess.h"

#include <QCoreApplication>

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
