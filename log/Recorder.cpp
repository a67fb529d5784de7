#include "Recorder.h"

#include "Clock.h"
#include "Module1.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using Module1::Format;

namespace Recording {

QByteArray Header() {
    return "time,seconds,voltage,current,mode,running,set_voltage,set_current,event\n";
}

QString IsoTime(const QDateTime &at) {
    // The offset always as +hh:mm, also at UTC, so that every line has the same shape.
    const int offset = at.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString DefaultName(const QDateTime &at) {
    return at.toString(QStringLiteral("'QVR 'yyyy-MM-dd hh-mm-ss'.csv'"));
}

namespace {
QString Seconds(double s) {
    return Format(s, QStringLiteral("0.000"));
}
// A field as CSV wants it: quoted when it holds a comma, a quote or a line break.
QString Field(const QString &text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}
} // namespace

QByteArray SampleLine(const QDateTime &at, double seconds, float volt, float curr,
                      const Context &c) {
    const bool reading = volt >= 0 && curr >= 0;
    const QStringList fields{
        IsoTime(at),
        Seconds(seconds),
        reading ? Format(volt, QStringLiteral("0.00")) : QString(),
        reading ? Format(curr, QStringLiteral("0.000")) : QString(),
        reading ? c.mode : QString(),
        Field(c.running),
        c.setVolt ? Format(*c.setVolt, QStringLiteral("0.0")) : QString(),
        c.setCurr ? Format(*c.setCurr, QStringLiteral("0.00")) : QString(),
        QString(),
    };
    return fields.join(u',').toUtf8() + '\n';
}

QByteArray EventLine(const QDateTime &at, double seconds, const QString &event) {
    QString line = IsoTime(at) + u',' + Seconds(seconds) + QStringLiteral(",,,,,,,") + Field(event);
    return line.toUtf8() + '\n';
}

} // namespace Recording

void Recorder::Start(const QString &path, const QString &startEvent) {
    Close();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error(
            QStringLiteral("Cannot record to %1: %2").arg(path, reason).toStdString());
    }
    fd_ = fd;
    path_ = path;
    failure_.clear();
    size_ = st.st_size;
    startMs_ = syncedMs_ = clock_.MonotonicMs();
    if ((size_ == 0 && !write(Recording::Header())) || !Event(startEvent)) {
        const QString why = failure_;
        Close();
        throw std::runtime_error(why.toStdString());
    }
    syncIfDue(true);
}

void Recorder::Stop(const QString &endEvent) {
    if (!Active())
        return;
    if (Event(endEvent))
        syncIfDue(true);
    Close();
}

void Recorder::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool Recorder::Sample(float volt, float curr, const Recording::Context &context) {
    if (!Active())
        return false;
    const double seconds = (clock_.MonotonicMs() - startMs_) / 1000.0;
    return write(Recording::SampleLine(clock_.CurrentDateTime(), seconds, volt, curr, context)) &&
           syncIfDue(false);
}

bool Recorder::Event(const QString &event) {
    if (!Active())
        return false;
    const double seconds = (clock_.MonotonicMs() - startMs_) / 1000.0;
    return write(Recording::EventLine(clock_.CurrentDateTime(), seconds, event)) &&
           syncIfDue(false);
}

bool Recorder::write(const QByteArray &line) {
    // One write a line: the kernel takes it whole or, on a full disk, in part, and a part is
    // cut off again so that a reader never meets half a line.
    ssize_t n = ::write(fd_, line.constData(), size_t(line.size()));
    if (n >= 0 && n < line.size()) {
        // In part: the rest either goes too or tells why not.
        const ssize_t rest = ::write(fd_, line.constData() + n, size_t(line.size() - n));
        n = rest < 0 ? -1 : n + rest;
    }
    if (n == line.size()) {
        size_ += n;
        dirty_ = true;
        return true;
    }
    const QString reason = n < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                 : QStringLiteral("No space left on device");
    if (ftruncate(fd_, size_) != 0) {
        // Nothing more can be done: the size stays as the kernel left it.
    }
    fail(reason);
    return false;
}

bool Recorder::syncIfDue(bool now) {
    const qint64 ms = clock_.MonotonicMs();
    if (!dirty_ || (!now && ms - syncedMs_ < SyncMs))
        return true;
    if (fdatasync(fd_) != 0) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    syncedMs_ = ms;
    dirty_ = false;
    // A folder deleted or unmounted under an open file takes the lines with it: stop, and say so.
    struct stat open {
    }, named{};
    if (fstat(fd_, &open) != 0 || stat(QFile::encodeName(path_).constData(), &named) != 0 ||
        open.st_ino != named.st_ino || open.st_dev != named.st_dev) {
        fail(QStringLiteral("the file or its folder is gone"));
        return false;
    }
    return true;
}

void Recorder::fail(const QString &reason) {
    failure_ = QStringLiteral("Recording to %1 stopped: %2").arg(path_, reason);
    Close();
}
