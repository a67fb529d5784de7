// Starts qvr-supply-sim as a child process and learns the device it serves on.
#pragma once

#include <QProcess>
#include <QStringList>

class SimProcess {
public:
    // `program` defaults to qvr-supply-sim beside the running executable.
    explicit SimProcess(const QStringList &args, QString program = QString());
    ~SimProcess();

    bool started() const { return !device_.isEmpty(); }
    QString device() const { return device_; }     // e.g. /dev/pts/5
    QString variable() const { return variable_; } // e.g. QVR_COM1
    QProcess &process() { return process_; }
    void stop();
    // With --faults-later: turns the faults given on or off and waits until the supply has.
    bool setFaults(bool on);

private:
    QProcess process_;
    QString device_, variable_;
};
