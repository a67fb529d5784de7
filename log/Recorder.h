// Continuous recording: every sample appended to a CSV file as it is taken, with the events
// that explain it, for runs longer than the live store and longer than anyone watches. Each line
// goes to the file whole in one write and the file is synced at least every 10 s, so a crash
// loses at most the last seconds and never leaves a torn line.
#pragma once

#include <QDateTime>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

class Clock;

namespace Recording {

// The columns of every line, in their order; a reader finds them by these names.
enum Column { Time, Seconds, Voltage, Current, Mode, Running, SetVoltage, SetCurrent, Event,
              ColumnCount };
const char *ColumnName(Column c);
// "time,seconds,voltage,current,mode,running,set_voltage,set_current,event"
QByteArray Header();

// What the program knows beside a reading when a sample is taken.
struct Context {
    QString mode;    // "CV", "CC" or empty when unknown
    QString running; // "none", "internal", "external step 3 pass 1", "preset 4"
    std::optional<float> setVolt, setCurr; // the setpoints last sent
};

// One sample line; a negative voltage or current is no reading (empty fields).
QByteArray SampleLine(const QDateTime &at, double seconds, float volt, float curr,
                      const Context &context);
// One event line: the time columns and the event, the sample columns empty.
QByteArray EventLine(const QDateTime &at, double seconds, const QString &event);
// Local time with milliseconds and UTC offset: "2026-12-07T10:53:17.123+01:00".
QString IsoTime(const QDateTime &at);
// The file name the save dialog offers: "QVR yyyy-mm-dd hh-mm-ss.csv".
QString DefaultName(const QDateTime &at);
// Whether `path` could be recorded to, without touching it (a FIFO's reader must not see an
// end): "Cannot record to <path>: <reason>", or nothing.
QString CheckPath(const QString &path);

// How far a file holds whole lines, from its last `tail` bytes starting at `tailFrom`: just past
// the last line end. A power cut may leave half a line or zeros after it, which an appended line
// must not be glued to. A tail without a line end that is the whole file is one unfinished line
// (0); one that is not is no recording's end, and the file's whole size is kept.
qint64 WholeLinesEnd(const QByteArray &tail, qint64 tailFrom);
constexpr qint64 TailBytes = 64 * 1024; // far longer than any line a recording writes

} // namespace Recording

class Recorder {
public:
    static constexpr qint64 SyncMs = 10000; // the longest a written line waits for the disk
    qint64 syncMs = SyncMs;                 // shorter only in tests

    explicit Recorder(Clock &clock);
    ~Recorder() { Close(); }
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // Opens `path` for appending (a header first when it is new or empty) and writes the start
    // event. An unfinished line at the end of a file is cut off first, and said after the start
    // event. Throws std::runtime_error "Cannot record to <path>: <reason>".
    void Start(const QString &path, const QString &startEvent);
    // The end event, a final sync, closed. Nothing when not recording.
    void Stop(const QString &endEvent);
    bool Active() const { return fd_ >= 0; }
    QString Path() const { return path_; }
    qint64 Size() const { return size_; }

    // Writing stops at the first failure; the text says why and names the file, and what was
    // written stays (a line written in part is cut off again).
    bool Sample(float volt, float curr, const Recording::Context &context);
    bool Event(const QString &event);
    QString Failure() const { return failure_; }
    // Called when a sync between lines (within SyncMs of a write) failed and ended the recording.
    std::function<void()> Failed;

private:
    bool write(const QByteArray &line);
    // Cuts an unfinished last line off the open file; the bytes removed.
    qint64 cutUnfinished();
    bool syncIfDue(bool now);
    void fail(const QString &reason);
    void Close();

    Clock &clock_;
    int fd_ = -1;
    QString path_, failure_;
    qint64 size_ = 0;
    qint64 startMs_ = 0, syncedMs_ = 0; // monotonic
    bool dirty_ = false;                // written since the last sync
    bool regular_ = false;              // a file on a disk, which can be synced and cut back
    QTimer syncTimer_;
};
