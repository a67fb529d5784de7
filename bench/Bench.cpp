#include "Bench.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <unistd.h>

namespace Bench {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double wallSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void print(const char *name, double value) {
    std::printf("%s=%.3f\n", name, value);
    std::fflush(stdout);
}

std::vector<std::string> misses;

void figure(const char *name, double value, double target) {
    std::printf("%s=%.3f target<=%g\n", name, value, target);
    std::fflush(stdout);
    if (!(value <= 1.5 * target))
        misses.push_back(std::string(name));
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<std::pair<double, QByteArray>> LinesSince(const QString &times, double t0) {
    std::vector<std::pair<double, QByteArray>> lines;
    QFile f(times);
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &entry : f.readAll().split('\n')) {
            const double at = entry.left(entry.indexOf(' ')).toDouble() / 1e6;
            if (!entry.isEmpty() && at >= t0)
                lines.emplace_back(at, entry.mid(entry.indexOf(' ') + 1));
        }
    return lines;
}

void idle(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

long residentKb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace Bench
