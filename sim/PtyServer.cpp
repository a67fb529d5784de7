#include "PtyServer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

long long nowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

// Sleeps to an absolute point so that per-character delays do not add up errors.
void sleepUntilUs(long long us) {
    timespec ts{};
    ts.tv_sec = us / 1000000;
    ts.tv_nsec = (us % 1000000) * 1000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

} // namespace

PtyServer::PtyServer(SupplyModel &model, int charDelayUs, const QString &logPath,
                     const QString &timesPath)
    : model_(model), charDelayUs_(charDelayUs), logPath_(logPath), timesPath_(timesPath) {}

PtyServer::~PtyServer() {
    closeAll();
}

void PtyServer::closeAll() {
    for (int *fd : {&master_, &slave_, &log_, &times_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

QString PtyServer::open() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error(std::string("cannot create a pseudo-terminal: ") +
                                 std::strerror(errno));
    const QString path = QString::fromLocal8Bit(ptsname(master_));
    slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        throw std::runtime_error("cannot open " + path.toStdString());
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio); // no echo or CR translation by the terminal itself
    tcsetattr(slave_, TCSANOW, &tio);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    prctl(PR_SET_TIMERSLACK, 1UL); // per-character sleeps should end on time
    if (!timesPath_.isEmpty()) {
        times_ = ::open(timesPath_.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (times_ < 0)
            throw std::runtime_error("cannot open " + timesPath_.toStdString());
    }
    if (!logPath_.isEmpty()) {
        log_ = ::open(logPath_.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log_ < 0)
            throw std::runtime_error("cannot open log " + logPath_.toStdString());
    }
    return path;
}

void PtyServer::send(const QByteArray &bytes) {
    for (int i = 0; i < bytes.size();) {
        int chunk = int(bytes.size()) - i;
        if (charDelayUs_ > 0) {
            // A character is on the receiver's side only once its whole frame went by. Slots
            // follow each other on the ideal line, so sleep overshoot does not add up.
            txSlotUs_ += charDelayUs_;
            sleepUntilUs(txSlotUs_);
            chunk = 1;
        }
        const ssize_t n = ::write(master_, bytes.constData() + i, size_t(chunk));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (n < 0) {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 50);
            continue;
        }
        i += int(n);
    }
}

void PtyServer::serve(const volatile std::sig_atomic_t &stop,
                      const std::function<void()> &between) {
    long long rxSlotUs = 0;
    char buf[256];
    while (!stop) {
        if (between)
            between();
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0 || !(p.revents & POLLIN))
            continue;
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0)
            continue;
        if (log_ >= 0 && ::write(log_, buf, size_t(n)) < 0)
            log_ = -1;
        const long long readUs = nowUs();
        for (ssize_t i = 0; i < n; ++i) {
            if (charDelayUs_ > 0) {
                rxSlotUs = std::max(rxSlotUs, readUs) + charDelayUs_;
                sleepUntilUs(rxSlotUs);
            }
            if (times_ >= 0) {
                line_ += buf[i];
                if (buf[i] == '\r') {
                    const QByteArray entry =
                        QByteArray::number(nowUs()) + ' ' + line_.chopped(1) + '\n';
                    if (::write(times_, entry.constData(), size_t(entry.size())) < 0)
                        times_ = -1;
                    line_.clear();
                }
            }
            const QByteArray reply = model_.Receive(QByteArray(1, buf[i]), nowUs() / 1000);
            if (!reply.isEmpty()) {
                txSlotUs_ = rxSlotUs; // the answer starts once the CR is in
                send(reply);
            }
            if (model_.unplugged()) {
                closeAll(); // the device node disappears with the master
                return;
            }
        }
    }
}
