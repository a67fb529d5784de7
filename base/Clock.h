// Clock seam: wall time for the sampling timeline, a monotonic clock for waits and countdowns.
#pragma once

#include <QDateTime>

class Clock {
public:
    virtual ~Clock() = default;
    virtual double SecondsSinceMidnight() = 0;
    // Local date and time, for what is stamped with them (a log's creation, a print-out).
    virtual QDateTime CurrentDateTime() = 0;
    // Never jumps back, does not wrap at midnight, and goes on while the machine sleeps.
    virtual qint64 MonotonicMs() = 0;
    // Passes time: the system clock sleeps, a manual clock just moves on.
    virtual void SleepMs(qint64 ms) = 0;
};

class SystemClock : public Clock {
public:
    double SecondsSinceMidnight() override;
    QDateTime CurrentDateTime() override { return QDateTime::currentDateTime(); }
    qint64 MonotonicMs() override;
    void SleepMs(qint64 ms) override;
    static SystemClock &instance();
};

// A clock that only moves when told to; tests and the in-process supply use it.
class ManualClock : public Clock {
public:
    double SecondsSinceMidnight() override { return wallS_; }
    QDateTime CurrentDateTime() override {
        return QDateTime(date_, QTime(0, 0)).addMSecs(qint64(wallS_ * 1000));
    }
    qint64 MonotonicMs() override { return monoMs_; }
    void SleepMs(qint64 ms) override { advance(ms); }
    void setSecondsSinceMidnight(double s) { wallS_ = s; }
    void setMonotonicMs(qint64 ms) { monoMs_ = ms; }
    void setDate(QDate date) { date_ = date; }
    void advance(qint64 ms) {
        monoMs_ += ms;
        wallS_ += ms / 1000.0;
    }

private:
    QDate date_{2026, 1, 5};
    double wallS_ = 0;
    qint64 monoMs_ = 0;
};
