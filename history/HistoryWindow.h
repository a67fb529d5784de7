// A recording in a window of its own ("run.csv - QVR"): the chart with its overview strip, the
// statistics of the stretch between the cursors (or of the view), the list of events, and the
// stretch taken out as a CSV file or a chart image. A file still being written is followed.
#pragma once

#include "HistoryChart.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>

class Dialogs;
class QAction;
class QLabel;
class QListWidget;
class QMimeData;
class StatsPanel;

namespace History {

class HistoryWindow : public QMainWindow {
    Q_OBJECT
public:
    // Opens `path`; nothing, with the reason in `error`, when it cannot be read.
    static HistoryWindow *Open(const QString &path, Dialogs &dialogs, QString &error);
    // The recordings a drop brings: local files ending in ".csv".
    static QStringList Dropped(const QMimeData *mime);
    static QString Filter() { return QStringLiteral("QVR recording (*.csv);;All files (*)"); }

    HistoryChart &Chart() { return *chart_; }
    RecordedRun &Run() { return *run_; }
    // Reads what was appended to the file (the timer does it four times a second).
    void FollowNow();
    QString StatusText() const;

    QAction *OpenRecording = nullptr, *WholeRun = nullptr, *FixedScales = nullptr,
            *SaveStretch = nullptr, *SaveImage = nullptr;
    static constexpr int FollowMs = 250;

signals:
    // "Open Recording..." here, or files dropped: whoever opened this window opens them.
    void OpenRequested(const QStringList &paths);

protected:
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    HistoryWindow(std::unique_ptr<RecordedRun> run, Dialogs &dialogs);
    void refresh();
    void addEvents(size_t from);
    void saveStretch();
    void saveImage();
    bool mayReplace(const QString &path);

    std::unique_ptr<RecordedRun> run_;
    Dialogs &dialogs_;
    HistoryChart *chart_ = nullptr;
    HistoryOverview *overview_ = nullptr;
    StatsPanel *stats_ = nullptr;
    QListWidget *events_ = nullptr;
    QLabel *status_ = nullptr;
    QTimer follow_;
    QString trouble_; // the file could not be followed
};

// Asks for recordings (none given) and opens each in a window of its own; a file that cannot be
// read is told in one box, or added to `errors` when given. Returns the windows opened.
QList<HistoryWindow *> OpenRecordings(Dialogs &dialogs, QStringList paths = {},
                                      QStringList *errors = nullptr);

} // namespace History
