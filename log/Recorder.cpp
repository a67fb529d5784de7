#include "Recorder.h"

#include "Clock.h"
#include "Module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

using Module1::Format;

namespace {
// The C runtime's descriptors on Windows: wide names, binary (a line ends in "\n" as on Linux),
// not inherited; _commit is FlushFileBuffers. There is no FIFO to be held by, and a folder is
// not "executed".
#ifdef _WIN32
int OpenAppend(const QString &path) {
    return _wopen(reinterpret_cast<const wchar_t *>(path.utf16()),
                  _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}
bool MayWrite(const QString &path, bool folder) {
    Q_UNUSED(folder);
    return _waccess(reinterpret_cast<const wchar_t *>(path.utf16()), W_OK) == 0;
}
bool Exists(const QString &path) {
    return _waccess(reinterpret_cast<const wchar_t *>(path.utf16()), F_OK) == 0;
}
int fdatasync(int fd) {
    return _commit(fd);
}
#else
// Non-blocking: a FIFO nobody reads is refused at once instead of holding the window, and a
// reader that stops reading ends the recording with a message instead of freezing it.
int OpenAppend(const QString &path) {
    return ::open(QFile::encodeName(path).constData(),
                  O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
}
bool MayWrite(const QString &path, bool folder) {
    return access(QFile::encodeName(path).constData(), folder ? W_OK | X_OK : W_OK) == 0;
}
bool Exists(const QString &path) {
    return access(QFile::encodeName(path).constData(), F_OK) == 0;
}
#endif
} // namespace

namespace Recording {

const char *ColumnName(Column c) {
    static const char *const names[ColumnCount] = {"time",    "seconds",     "voltage",
                                                   "current", "mode",        "running",
                                                   "set_voltage", "set_current", "event"};
    return names[c];
}

QByteArray Header() {
    QByteArray line;
    for (int c = 0; c < ColumnCount; ++c)
        line += (c ? "," : "") + QByteArray(ColumnName(Column(c)));
    return line + '\n';
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

QString CheckPath(const QString &path) {
    const bool ok =
        Exists(path) ? MayWrite(path, false) : MayWrite(QFileInfo(path).absolutePath(), true);
    if (ok)
        return {};
    return QStringLiteral("Cannot record to %1: %2")
        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
}

qint64 WholeLinesEnd(const QByteArray &tail, qint64 tailFrom) {
    const qsizetype end = tail.lastIndexOf('\n');
    if (end >= 0)
        return tailFrom + end + 1;
    return tailFrom == 0 ? 0 : tailFrom + tail.size();
}

namespace {
QString SecondsText(double s) {
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
        SecondsText(seconds),
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
    QString line = IsoTime(at) + u',' + SecondsText(seconds) + QStringLiteral(",,,,,,,") + Field(event);
    return line.toUtf8() + '\n';
}

} // namespace Recording

void Recorder::Start(const QString &path, const QString &startEvent) {
    Close();
    const int fd = OpenAppend(path);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error(
            QStringLiteral("Cannot record to %1: %2").arg(QDir::toNativeSeparators(path), reason).toStdString());
    }
    fd_ = fd;
    path_ = path;
    failure_.clear();
    size_ = st.st_size;
    // A pipe, a FIFO or a terminal has nothing to sync and no size to cut back to.
    regular_ = S_ISREG(st.st_mode);
    startMs_ = syncedMs_ = clock_.MonotonicMs();
    const qint64 cut = regular_ ? cutUnfinished() : 0;
    if ((size_ == 0 && !write(Recording::Header())) || !Event(startEvent) ||
        (cut > 0 && !Event(QStringLiteral("%1 bytes of an unfinished line removed").arg(cut)))) {
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
    dirty_ = false;
    syncTimer_.stop();
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

qint64 Recorder::cutUnfinished() {
    if (size_ == 0)
        return 0;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return 0; // unreadable: appended to as it is
    const qint64 from = std::max<qint64>(0, size_ - Recording::TailBytes);
    if (!file.seek(from))
        return 0;
    const qint64 end = Recording::WholeLinesEnd(file.read(size_ - from), from);
    if (end >= size_ || ftruncate(fd_, end) != 0)
        return 0;
    const qint64 cut = size_ - end;
    size_ = end;
    return cut;
}

bool Recorder::write(const QByteArray &line) {
    // One write a line: the kernel takes it whole or, on a full disk, in part, and a part is
    // cut off again so that a reader never meets half a line.
    ssize_t done = ::write(fd_, line.constData(), size_t(line.size()));
    int error = done < 0 ? errno : 0;
    if (done >= 0 && done < line.size()) {
        // In part: the rest either goes too or tells why not.
        const ssize_t rest = ::write(fd_, line.constData() + done, size_t(line.size() - done));
        if (rest > 0)
            done += rest;
        error = rest < 0 ? errno : 0;
    }
    if (done == line.size()) {
        size_ += done;
        if (regular_ && !dirty_) {
            dirty_ = true;
            syncTimer_.start(int(syncMs)); // this line is on the disk within syncMs
        }
        return true;
    }
    // Back to the size the file had before this write, whoever else wrote to it or emptied it.
    struct stat st {};
    if (done > 0 && regular_ && fstat(fd_, &st) == 0 && st.st_size >= done &&
        ftruncate(fd_, st.st_size - done) != 0) {
        // Nothing more can be done: the size stays as the kernel left it.
    }
    if (error == EAGAIN || error == EWOULDBLOCK)
        fail(QStringLiteral("the program reading it does not keep up"));
    else
        fail(error ? QString::fromLocal8Bit(std::strerror(error))
                   : QStringLiteral("No space left on device"));
    return false;
}

bool Recorder::syncIfDue(bool now) {
    const qint64 ms = clock_.MonotonicMs();
    if (!dirty_ || (!now && ms - syncedMs_ < syncMs))
        return true;
    syncTimer_.stop();
    // EINVAL: a file that cannot be synced (some file systems) is recorded without syncing.
    if (fdatasync(fd_) != 0 && errno != EINVAL) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    syncedMs_ = ms;
    dirty_ = false;
#ifndef _WIN32
    // A folder deleted or unmounted under an open file takes the lines with it: stop, and say so.
    // (Windows does not let a file open here be deleted.)
    struct stat open {
    }, named{};
    if (fstat(fd_, &open) != 0 || stat(QFile::encodeName(path_).constData(), &named) != 0 ||
        open.st_ino != named.st_ino || open.st_dev != named.st_dev) {
        fail(QStringLiteral("the file or its folder is gone"));
        return false;
    }
#endif
    return true;
}

void Recorder::fail(const QString &reason) {
    failure_ = QStringLiteral("Recording to %1 stopped: %2").arg(QDir::toNativeSeparators(path_), reason);
    Close();
}

Recorder::Recorder(Clock &clock) : clock_(clock) {
    syncTimer_.setSingleShot(true);
    syncTimer_.callOnTimeout([this] {
        // Lines wait for the disk at most SyncMs, however long until the next sample.
        if (Active() && !syncIfDue(true) && Failed)
            Failed();
    });
}
