#include "StretchExport.h"

#include "RecordedRun.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstring>
#include <stdexcept>

namespace History {

qint64 WriteStretch(const RecordedRun &run, const QString &target, double from, double to) {
    const auto fail = [](const QString &what, const QString &path, const QString &why) {
        throw std::runtime_error(QStringLiteral("%1 %2: %3")
                                     .arg(what, QDir::toNativeSeparators(path), why)
                                     .toStdString());
    };
    QFile in(run.Path());
    if (!in.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open"), run.Path(), in.errorString());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        fail(QStringLiteral("Cannot write"), target, out.errorString());
    out.write(run.HeaderLine());
    // Milliseconds, as the reader counts them, so that a line on the stretch's edge is kept.
    const qint64 lo = run.FirstMs() + qint64(std::floor(from * 1000 + 1e-6));
    const qint64 hi = run.FirstMs() + qint64(std::ceil(to * 1000 - 1e-6));
    const int timeCol = run.TimeColumn();
    qint64 written = 0;
    bool keep = false, first = true;
    while (!in.atEnd()) {
        const QByteArray line = in.readLine(1 << 20);
        if (first) {
            first = false;
            continue; // the header, written above
        }
        // A line that starts with a time begins a record; any other (the rest of an event with a
        // line break in it, a repeated header) goes with the record it follows.
        const char *b = line.constData(), *e = b + line.size();
        for (int k = 0; k < timeCol && b < e; ++k) {
            const char *c = static_cast<const char *>(std::memchr(b, ',', size_t(e - b)));
            b = c ? c + 1 : e;
        }
        const char *end = static_cast<const char *>(std::memchr(b, ',', size_t(e - b)));
        qint64 ms = 0;
        int offset = 0;
        if (RecordedRun::ParseTime(b, end ? end : e, ms, offset)) {
            keep = ms >= lo && ms <= hi;
            written += keep;
        }
        if (keep)
            out.write(line);
    }
    if (!out.commit())
        fail(QStringLiteral("Cannot write"), target, out.errorString());
    return written;
}

} // namespace History
