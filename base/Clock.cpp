#include "Clock.h"

#include <QThread>
#include <QTime>
#include <chrono>
#include <ctime>

double SystemClock::SecondsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

qint64 SystemClock::MonotonicMs() {
#ifdef CLOCK_BOOTTIME
    // Counts a suspended machine's sleep too: a sleep shows as a gap in the samples, as blind
    // time in the counters and in the recording's seconds, instead of vanishing.
    timespec ts{};
    if (clock_gettime(CLOCK_BOOTTIME, &ts) == 0)
        return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
#endif
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::SleepMs(qint64 ms) {
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

SystemClock &SystemClock::instance() {
    static SystemClock clock;
    return clock;
}
