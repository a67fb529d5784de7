// Serves a SupplyModel on a pseudo-terminal, optionally at the pace of a real line: every
// character received and every character sent takes `charDelayUs` (1042 us at 9600 baud).
#pragma once

#include "SupplyModel.h"

#include <QString>
#include <csignal>
#include <functional>

class PtyServer {
public:
    // `timesPath`: when set, every line received is written there with the monotonic time (us)
    // at which its CR arrived.
    PtyServer(SupplyModel &model, int charDelayUs, const QString &logPath,
              const QString &timesPath = QString());
    ~PtyServer();

    // Creates the pseudo-terminal; returns the device path the program opens. Throws on failure.
    QString open();
    // Serves until `stop` becomes non-zero or the model unplugs the port; `between` runs
    // between reads (at least every 100 ms), never while a line is being answered.
    void serve(const volatile std::sig_atomic_t &stop, const std::function<void()> &between = {});

private:
    void send(const QByteArray &bytes);
    void closeAll();

    SupplyModel &model_;
    int charDelayUs_;
    QString logPath_, timesPath_;
    QByteArray line_; // received since the last CR
    int master_ = -1;
    int slave_ = -1; // kept open so the terminal survives the program closing it
    int log_ = -1;
    int times_ = -1;
    long long txSlotUs_ = 0;
};
