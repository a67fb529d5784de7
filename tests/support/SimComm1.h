// The simulated supply plugged straight into the port seam, for fast tests. Time is the given
// clock's: with a ManualClock a wait for a silent supply costs nothing.
#pragma once

#include "Clock.h"
#include "Comm1.h"
#include "SupplyModel.h"

#include <QSet>
#include <QStringList>
#include <deque>

class SimComm1 : public Comm1 {
public:
    SimComm1(SupplyModel &model, Clock &clock, int charDelayUs = 0);

    int CommPort() const override { return port_; }
    void setCommPort(int port) override;
    QString Settings() const override { return settings_; }
    void setSettings(const QString &settings) override;
    int Handshaking() const override { return handshaking_; }
    void setHandshaking(int mode) override;
    bool PortOpen() const override { return open_; }
    void setPortOpen(bool open) override;
    int InBufferCount() override;
    void ClearInBuffer() override;
    void ClearOutBuffer() override;
    void Output(const QByteArray &text) override;
    QByteArray Input() override;
    bool WaitForChars(int count, int timeoutMs) override;

    // Characters that arrive without being asked for (noise, a late reply).
    void inject(const QByteArray &bytes);

    QSet<int> existingPorts{1, 2, 3, 4};
    int supplyPort = 1; // the port the supply hangs on; the others stay silent
    QByteArray sent;    // every byte written, in order
    QStringList events; // "clear-in", "clear-out", "out:<line>", "in:<text>" in order

private:
    void requireOpen() const;
    void ensureUsable();
    void arrive(const QByteArray &bytes, qint64 firstArrivalUs);

    SupplyModel &model_;
    Clock &clock_;
    int charDelayUs_;
    int port_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    int handshaking_ = 0;
    bool open_ = false;
    std::deque<std::pair<qint64, char>> rx_; // arrival time (us) and character
};
