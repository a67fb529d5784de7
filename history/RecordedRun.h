// A recording read back: its samples in columns, its event lines, the clock offsets it was
// written in, and what could not be read. Lines are read whole as the recorder writes them
// (fields quoted when they hold commas, quotes or line breaks); a line that cannot be read is
// skipped and counted, and everything else is kept. The file is only ever read.
#pragma once

#include "SampleColumns.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <vector>

namespace History {

struct Event {
    double t; // seconds from the first line
    QString text;
    qint64 line; // in the file, from 1
};

class RecordedRun {
public:
    // How much memory a viewer may take: half of the computer's.
    static qint64 DefaultBudget();

    // Reads `path` whole. Throws std::runtime_error with the reason: "Cannot open <path>: ...",
    // "not a QVR recording: the header has no 'voltage' column", or a file too large for
    // `budget` bytes, said before anything is read.
    void Open(const QString &path, qint64 budget = DefaultBudget());
    // Reads what has been appended since; whether anything new came. A file that became shorter,
    // or begins differently, was replaced: throws, after which the caller opens it again.
    bool Follow();
    // Takes bytes as the file gives them (tests and Follow): whole lines are read, the rest
    // waits for its end.
    void Feed(const char *data, qsizetype size);

    QString Path() const { return path_; }
    QString Name() const; // the file's name without its folder
    const SampleColumns &Samples() const { return samples_; }
    const std::vector<Event> &Events() const { return events_; }
    QByteArray HeaderLine() const { return header_; } // as the file has it, with its line end
    qint64 ReadBytes() const { return read_; }
    int TimeColumn() const { return timeCol_; }
    qint64 FirstMs() const { return firstMs_; } // UTC milliseconds of t = 0
    bool Empty() const { return samples_.Size() == 0 && events_.empty(); }
    double EndT() const; // the last line's time
    // The UTC offset (seconds) the recording's clock had at `t`.
    int OffsetAt(double t) const;
    // "3 lines could not be read, the first at line 1234"; empty when every line was read. An
    // unfinished last line counts until its end arrives.
    QString Problems() const;
    qint64 Unreadable() const { return unreadable_ + (pending_.isEmpty() ? 0 : 1); }

    // The instant and offset of a time field "2026-12-07T10:53:17.123+01:00"; false when it is
    // not one.
    static bool ParseTime(const char *b, const char *e, qint64 &utcMs, int &offsetS);

private:
    void readFrom(QFile &file);
    void feedWhole(const char *data, qsizetype size); // nothing pending before it
    void line(const char *b, const char *e);
    void header(const char *b, const char *e);
    void bad();
    void sample(double t, float v, float i);

    QString path_;
    QByteArray header_, pending_;
    QByteArray prefix_; // the file's first bytes, to know it again
    static constexpr qsizetype PrefixBytes = 512;
    qint64 read_ = 0, lineNo_ = 0, unreadable_ = 0, firstBad_ = 0;
    int columns_ = 0, timeCol_ = -1, voltCol_ = -1, currCol_ = -1, eventCol_ = -1;
    SampleColumns samples_;
    std::vector<Event> events_;
    std::vector<std::pair<double, int>> offsets_; // from t on, this offset
    qint64 firstMs_ = 0, lastMs_ = 0;
    bool started_ = false;
    bool breakNext_ = false; // a recording began or ended: the next sample starts anew
    double intervalS_ = 0;   // the sampling interval the recording names; 0 while unknown
    double guessS_ = 0;      // else the shortest step between samples so far
};

} // namespace History
