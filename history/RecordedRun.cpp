#include "RecordedRun.h"

#include "Recorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>
#include <stdexcept>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace History {

namespace {

[[noreturn]] void Fail(const QString &why) {
    throw std::runtime_error(why.toStdString());
}

QString SizeText(double bytes) {
    if (bytes >= 1e9)
        return QString::number(bytes / 1e9, 'f', 1) + QStringLiteral(" GB");
    return QString::number(std::max(1.0, std::round(bytes / 1e6))) + QStringLiteral(" MB");
}

struct Field {
    const char *b, *e;
    bool quoted;
};
constexpr int MaxFields = 32;

// A line's fields; false when a quoted field is not closed or is followed by more than a comma.
bool Split(const char *p, const char *e, Field *fields, int &n) {
    n = 0;
    for (;;) {
        if (n == MaxFields)
            return false;
        Field &f = fields[n++];
        if (p < e && *p == '"') {
            const char *q = p + 1;
            for (;;) {
                q = static_cast<const char *>(std::memchr(q, '"', size_t(e - q)));
                if (!q)
                    return false;
                if (q + 1 < e && q[1] == '"') {
                    q += 2;
                    continue;
                }
                break;
            }
            f = {p + 1, q, true};
            p = q + 1;
            if (p < e && *p != ',')
                return false;
        } else {
            const char *c = static_cast<const char *>(std::memchr(p, ',', size_t(e - p)));
            f = {p, c ? c : e, false};
            p = f.e;
        }
        if (p >= e)
            return true;
        ++p; // the comma; a comma at the end leaves one empty field after it
    }
}

QString Text(const Field &f) {
    QString text = QString::fromUtf8(f.b, qsizetype(f.e - f.b));
    if (f.quoted)
        text.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return text;
}

// A reading as the recorder writes it: digits with an optional decimal part, nothing else.
bool Number(const char *p, const char *e, double &out) {
    if (p == e || e - p > 18)
        return false;
    qint64 whole = 0, scale = 1;
    bool point = false, digits = false;
    for (; p < e; ++p) {
        if (*p >= '0' && *p <= '9') {
            whole = whole * 10 + (*p - '0');
            digits = true;
            if (point)
                scale *= 10;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    out = double(whole) / double(scale);
    return digits;
}

bool Digits(const char *p, int n, int &out) {
    out = 0;
    for (int k = 0; k < n; ++k) {
        if (p[k] < '0' || p[k] > '9')
            return false;
        out = out * 10 + (p[k] - '0');
    }
    return true;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
qint64 DaysFromCivil(qint64 y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool StartsWith(const QString &text, const char *prefix) {
    return text.startsWith(QLatin1String(prefix));
}

} // namespace

qint64 RecordedRun::DefaultBudget() {
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status))
        return qint64(status.ullTotalPhys / 2);
#else
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && page > 0)
        return qint64(pages) * page / 2;
#endif
    return qint64(2) << 30;
}

bool RecordedRun::ParseTime(const char *b, const char *e, qint64 &utcMs, int &offsetS) {
    const qsizetype n = e - b;
    int y, mo, d, h, mi, s;
    if (n < 20 || b[4] != '-' || b[7] != '-' || b[10] != 'T' || b[13] != ':' || b[16] != ':' ||
        !Digits(b, 4, y) || !Digits(b + 5, 2, mo) || !Digits(b + 8, 2, d) ||
        !Digits(b + 11, 2, h) || !Digits(b + 14, 2, mi) || !Digits(b + 17, 2, s) || mo < 1 ||
        mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return false;
    const char *p = b + 19;
    int ms = 0;
    if (p < e && *p == '.') {
        int scale = 100, digits = 0;
        for (++p; p < e && *p >= '0' && *p <= '9'; ++p, ++digits) {
            ms += (*p - '0') * scale;
            scale /= 10;
        }
        if (!digits)
            return false;
    }
    if (p < e && *p == 'Z' && p + 1 == e) {
        offsetS = 0;
    } else {
        int oh, om;
        if (e - p != 6 || (*p != '+' && *p != '-') || p[3] != ':' || !Digits(p + 1, 2, oh) ||
            !Digits(p + 4, 2, om) || oh > 23 || om > 59)
            return false;
        offsetS = (*p == '-' ? -1 : 1) * (oh * 3600 + om * 60);
    }
    const qint64 local = ((DaysFromCivil(y, mo, d) * 24 + h) * 60 + mi) * 60 + s;
    utcMs = (local - offsetS) * 1000 + ms;
    return true;
}

void RecordedRun::Open(const QString &path, qint64 budget) {
    *this = RecordedRun();
    path_ = path;
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("Cannot open %1: %2").arg(shown, file.errorString()));
    const qint64 size = file.size();
    if (size <= 0)
        Fail(QStringLiteral("not a QVR recording: the file is empty"));
    // The lines' length in the first part, for the memory the whole will take.
    QByteArray chunk = file.read(std::min<qint64>(size, Recording::TailBytes));
    prefix_ = chunk.left(PrefixBytes);
    const qsizetype headerEnd = chunk.indexOf('\n');
    const qsizetype lines = chunk.count('\n') - 1;
    const double perLine =
        lines > 0 ? double(chunk.lastIndexOf('\n') - headerEnd) / double(lines) : 40.0;
    const double need = double(size) / std::max(perLine, 20.0) * SampleColumns::BytesPerSample;
    if (need > double(budget))
        Fail(QStringLiteral("%1 is too large to view: it needs about %2 of memory, and QVR "
                            "allows itself %3 (half of this computer's)")
                 .arg(QFileInfo(path).fileName(), SizeText(need), SizeText(double(budget))));
    Feed(chunk.constData(), chunk.size());
    chunk = QByteArray();
    readFrom(file);
    if (header_.isEmpty()) {
        // A header still without its line end: the recorder has only just begun the file.
        const QByteArray rest = pending_;
        pending_.clear();
        header(rest.constData(), rest.constData() + rest.size());
        read_ += rest.size();
    }
}

bool RecordedRun::Follow() {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return false; // gone for now (a network folder, a rename): what was read stays shown
    const qint64 have = read_ + pending_.size();
    if (file.size() < have)
        Fail(QStringLiteral("%1 became shorter: it was replaced or cut")
                 .arg(QDir::toNativeSeparators(path_)));
    if (file.size() == have)
        return false;
    // Another file under the same name, longer than this one was: its beginning differs.
    if (file.read(prefix_.size()) != prefix_)
        Fail(QStringLiteral("%1 was replaced by another file").arg(QDir::toNativeSeparators(path_)));
    if (!file.seek(have))
        return false;
    const qint64 samples = samples_.Size();
    const size_t events = events_.size();
    readFrom(file);
    return samples_.Size() != samples || events_.size() != events;
}

void RecordedRun::readFrom(QFile &file) {
    // One buffer for the whole file, the unfinished line moved to its front: a week is read
    // without a copy of each part, and no memory stays taken after.
    std::vector<char> buffer(size_t(1) << 20);
    for (;;) {
        const size_t keep = size_t(pending_.size());
        if (keep > buffer.size() / 2)
            buffer.resize(buffer.size() * 2);
        std::memcpy(buffer.data(), pending_.constData(), keep);
        const qint64 got = file.read(buffer.data() + keep, qint64(buffer.size() - keep));
        if (got <= 0)
            return;
        pending_.clear();
        feedWhole(buffer.data(), qsizetype(keep) + got);
    }
}

void RecordedRun::Feed(const char *data, qsizetype size) {
    if (pending_.isEmpty())
        return feedWhole(data, size);
    const QByteArray joined = pending_ + QByteArray::fromRawData(data, size);
    pending_.clear();
    feedWhole(joined.constData(), joined.size());
}

void RecordedRun::feedWhole(const char *data, qsizetype size) {
    const char *start = data, *p = data, *e = data + size;
    const char *firstEnd = nullptr; // of the first physical line of a quoted line break's line
    bool quoted = false;
    while (p < e) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
        if (!nl)
            break;
        for (const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(nl - p))); q;
             q = static_cast<const char *>(std::memchr(q + 1, '"', size_t(nl - q - 1))))
            quoted = !quoted;
        if (!firstEnd)
            firstEnd = nl;
        p = nl + 1;
        if (quoted) {
            // A line break inside a quoted event; a stray quote must not swallow the lines after
            // it, so no line runs longer than any the recorder writes.
            if (p - start <= Recording::TailBytes)
                continue;
            p = firstEnd + 1;
            nl = firstEnd;
            quoted = false;
        }
        line(start, nl);
        lineNo_ += std::count(start, nl, '\n');
        read_ += p - start;
        start = p;
        firstEnd = nullptr;
    }
    pending_ = QByteArray(start, qsizetype(e - start));
}

void RecordedRun::bad() {
    if (unreadable_++ == 0)
        firstBad_ = lineNo_;
}

void RecordedRun::header(const char *b, const char *e) {
    if (e - b >= 3 && std::memcmp(b, "\xEF\xBB\xBF", 3) == 0)
        b += 3; // a byte-order mark from a spreadsheet that saved it
    if (b < e && e[-1] == '\r')
        --e;
    header_ = QByteArray(b, qsizetype(e - b)) + '\n';
    Field fields[MaxFields];
    int n = 0;
    Split(b, e, fields, n);
    const auto find = [&](Recording::Column c) {
        for (int k = 0; k < n; ++k)
            if (Text(fields[k]).trimmed() == QLatin1String(Recording::ColumnName(c)))
                return k;
        Fail(QStringLiteral("not a QVR recording: the header has no '%1' column")
                 .arg(QLatin1String(Recording::ColumnName(c))));
    };
    timeCol_ = find(Recording::Time);
    voltCol_ = find(Recording::Voltage);
    currCol_ = find(Recording::Current);
    eventCol_ = find(Recording::Event);
    columns_ = n;
}

void RecordedRun::line(const char *b, const char *e) {
    ++lineNo_;
    if (header_.isEmpty()) {
        header(b, e);
        return;
    }
    if (b < e && e[-1] == '\r')
        --e;
    if (b == e)
        return; // an empty line holds nothing to lose
    if (header_.size() == e - b + 1 && std::memcmp(b, header_.constData(), size_t(e - b)) == 0) {
        breakNext_ = true; // two files put together: the second begins anew
        return;
    }
    Field f[MaxFields];
    int n = 0;
    qint64 ms = 0;
    int offset = 0;
    if (!Split(b, e, f, n) || n != columns_ ||
        !ParseTime(f[timeCol_].b, f[timeCol_].e, ms, offset) || (started_ && ms < lastMs_))
        return bad();
    const Field &vf = f[voltCol_], &cf = f[currCol_];
    double v = NAN, i = NAN;
    const bool none = vf.b == vf.e && cf.b == cf.e;
    if (!none && (!Number(vf.b, vf.e, v) || !Number(cf.b, cf.e, i)))
        return bad();
    if (!started_)
        firstMs_ = ms, started_ = true;
    lastMs_ = ms;
    const double t = double(ms - firstMs_) / 1000;
    if (offsets_.empty() || offsets_.back().second != offset)
        offsets_.emplace_back(t, offset);
    const Field &ef = f[eventCol_];
    if (ef.b == ef.e) {
        sample(t, float(v), float(i));
        return;
    }
    if (!none)
        sample(t, float(v), float(i));
    Event event{t, Text(ef), lineNo_};
    static const QRegularExpression interval(QStringLiteral("\\binterval ([0-9.]+) s\\b"));
    if (const auto m = interval.match(event.text); m.hasMatch() && m.captured(1).toDouble() > 0)
        intervalS_ = m.captured(1).toDouble();
    if (StartsWith(event.text, "recording started") || StartsWith(event.text, "recording ended"))
        breakNext_ = true;
    events_.push_back(std::move(event));
}

void RecordedRun::sample(double t, float v, float i) {
    const qint64 n = samples_.Size();
    const bool present = !std::isnan(v);
    if (!present) {
        // A stretch without readings is one gap, however many lines say so.
        if (n > 0 && samples_.at(n - 1).Present())
            samples_.Append({t, NAN, NAN});
        return;
    }
    if (n > 0 && samples_.at(n - 1).Present()) {
        const double last = samples_.at(n - 1).t, dt = t - last;
        // Half a tick late is jitter; later than that, a tick was missed or the computer slept.
        const double interval = intervalS_ > 0 ? intervalS_ : guessS_;
        if (breakNext_ || (interval > 0 && dt > 1.6 * interval))
            samples_.Append({(last + t) / 2, NAN, NAN});
        else if (dt > 0 && (guessS_ == 0 || dt < guessS_))
            guessS_ = dt;
    }
    breakNext_ = false;
    samples_.Append({t, v, i});
}

double RecordedRun::EndT() const {
    double end = samples_.Size() ? samples_.at(samples_.Size() - 1).t : 0;
    if (!events_.empty())
        end = std::max(end, events_.back().t);
    return end;
}

int RecordedRun::OffsetAt(double t) const {
    const auto after = std::upper_bound(offsets_.begin(), offsets_.end(), t,
                                        [](double x, const auto &o) { return x < o.first; });
    return after == offsets_.begin() ? (offsets_.empty() ? 0 : offsets_.front().second)
                                     : std::prev(after)->second;
}

QString RecordedRun::Problems() const {
    const qint64 count = Unreadable();
    if (!count)
        return {};
    const qint64 first = unreadable_ ? firstBad_ : lineNo_ + 1;
    if (count == 1)
        return QStringLiteral("1 line could not be read, at line %1").arg(first);
    return QStringLiteral("%1 lines could not be read, the first at line %2").arg(count).arg(first);
}

QString RecordedRun::Name() const {
    return QFileInfo(path_).fileName();
}

} // namespace History
