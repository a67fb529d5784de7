// The main window: owns the port, the database, the pages, the panel and the timers, and runs
// start-up, page switching, the timers' dispatch and shutdown in their fixed order.
#pragma once

#include "Database.h"
#include "Metrics.h"
#include "Protocol.h"
#include "Dialogs.h"
#include "ProgramPages.h"
#include "RoutedDialogs.h"
#include "ScriptHandlers.h"
#include "Supply.h"

#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <optional>

class Clock;
class Comm1;
class GuardsDialog;
class QMessageBox;
class DataLogPage;
class GridEditor;
class KeepAwake;
class Panel;
class RemoteServer;
class MetricsServer;

namespace Recording {
struct Context;
}

class TabbedFrm : public QMainWindow {
    Q_OBJECT
public:
    TabbedFrm(Comm1 &port, Dialogs &dialogs, Clock &clock, const QString &databasePath,
              QWidget *parent = nullptr);
    ~TabbedFrm() override;

    static const QStringList PageCaptions;
    // " QVR 2.0 [" + page caption without outer blanks + "]"
    static QString NormalTitle(const QString &pageCaption);

    // Controls, named as the operator documentation names them.
    QTabWidget *Tab1 = nullptr;
    InternalPage *internalPage = nullptr;
    ExternalPage *externalPage = nullptr;
    PresetPage *presetPage = nullptr;
    DataLogPage *dataLogPage = nullptr;
    Panel *panel = nullptr;
    GridEditor *editor = nullptr; // Text5 over the program grids
    QTimer *Timer1 = nullptr;     // GETD polling, reset countdown
    QTimer *Timer2 = nullptr;     // live indicator

    // What the supply is, for this window and for scripts.
    Supply supply;
    // Remote control: listening for scripts on `port` (0 any free one), or off. Remembered in
    // the settings table when `remember`; the reason when it cannot listen.
    QString SetRemote(bool on, quint16 port, bool remember);
    RemoteServer *remote = nullptr; // while remote control is on
    // The monitoring endpoint (GET /metrics) on `address`:`port`, or off; remembered like remote
    // control. The reason when it cannot listen.
    QString SetMetrics(bool on, const QString &address, quint16 port, bool remember);
    MetricsServer *metrics = nullptr; // while it is on
    QString MetricsAddress() const { return metricsAddress_; }
    quint16 MetricsPort() const { return metricsPort_; }
    static constexpr quint16 DefaultMetricsPort = 9725;
    // The bench's name in the metrics; empty for the host name and the port number.
    void SetBenchName(const QString &name, bool remember);
    QString BenchName() const { return benchName_; }
    // What the endpoint publishes now.
    Metrics::Snapshot MetricsSnapshot() const;
    quint16 RemotePort() const { return remotePort_; }

    Database &db() { return db_; }
    // Exit status when Form_Load ended the program.
    int exitCode() const { return exitCode_; }

    // The procedures the panel and the pages call on the main window.
    bool Unloaded() const { return unloaded_; }
    void RestartLiveLogging();
    void ChartDefaults();
    // The port failed under an exchange: any run ends on the computer's side, polling stops,
    // the readings are gone, one message says so; "Reset" then looks for the supply again.
    void PortLost(const QString &description);
    // The only writers of Connected after start-up. Down also ends polling, the readings and
    // what shows them, and starts the automatic reconnect's tries when it is on.
    void LinkUp();
    void LinkDown();
    // A message about the link: a box, or the status line while such a box already waits.
    void LinkBox(const QString &text, Dialogs::Icon icon = Dialogs::Icon::Exclamation);
    // Held while the operator's own reconnect or reset (and its boxes) runs: no automatic try
    // meanwhile.
    class LinkWork {
    public:
        explicit LinkWork(TabbedFrm &w) : w_(w) { ++w_.linkWork_; }
        ~LinkWork() { --w_.linkWork_; }
        LinkWork(const LinkWork &) = delete;
        LinkWork &operator=(const LinkWork &) = delete;

    private:
        TabbedFrm &w_;
    };
    // The title for the page shown, in its running form while a program runs.
    void ShowPageTitle();
    // A connection was just made: a program the next poll finds running in the supply is shown
    // as running, so that Stop can end it.
    void WatchForRunningProgram() { adoptRun_ = true; }
    // An event for the recording, when one runs.
    void NoteEvent(const QString &event);
    // "Set" sent these setpoints.
    void SetpointsSent(float volts, float amps);
    // The status line's recording part; the rest says what just went well for TellMs.
    QLabel *RecordStatus = nullptr;
    // "Computer kept awake" while a recording or a stepped program holds off sleep.
    QLabel *AwakeStatus = nullptr;
    static constexpr int TellMs = 5000;

    // "Reconnect automatically" (Options): after a lost port, a try every 2 s to open it again
    // and find the supply, without a box and without holding the window.
    bool AutoReconnect() const { return autoReconnect_; }
    void SetAutoReconnect(bool on); // remembered in the settings table
    QTimer *ReconnectTimer = nullptr;
    static constexpr int ReconnectMs = 2000;

    // Guards over an unattended run (the plan lives in the core, `supply.Guard()`): armed from
    // the dialog or a script with the supply's limits; the reason when refused.
    QString ArmGuards(const Guards::Plan &plan);
    // Carries out what a guard found: every program ends by its Stop path, the safe output goes
    // out, then the recording's line, the status line, a box that holds nothing up and, when
    // chosen, the recording's end.
    void GuardActs(const Guards::Verdict &verdict);
    QTimer *GuardTimer = nullptr; // the "no reading" guard's deadline between polls
    GuardsDialog *guardsDialog = nullptr;
    QPointer<QMessageBox> GuardBox; // what acted, until the operator closes it

public slots:
    // Start-up; false when the operator's answers, or a signal, end the program.
    bool Form_Load();
    void Form_Activate();
    void Form_Unload();
    void Tab1_Click(int index);
    void Timer1_Timer();
    void Timer2_Timer();
    void PollOutputState();
    void ReconnectTimer_Timer();
    void LiveChartFrame();
    // A new sampling interval from Options: sampling starts over with it now, not after the old
    // period has run out.
    void SamplingChanged();

    // The "Guards" dialog, beside the window (one; raised when already open).
    void ShowGuardsDialog();
    void GuardTimer_Timer();

    // Recordings read back, each in a window of its own beside the live run (none given: asked).
    void OpenRecordings(const QStringList &paths = {});

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    friend class ScriptHandlers;
    void SetUpPages();
    void WantAwake(); // what runs now, told to the computer's sleep
    void NoteAwakeFailure();
    // The core's copy of the reading, the setpoints, the counters and what runs.
    void SyncSupply();
    void LoadRemote(); // the remembered remote control, at start-up
    void LoadMetrics(); // and the remembered monitoring endpoint
    QString metricsAddress_ = QStringLiteral("127.0.0.1");
    quint16 metricsPort_ = DefaultMetricsPort;
    QString benchName_;
    void LoadGuards(); // guards left armed by the last run watch again, and say so
    // A poll's reading for the guards; out-of-range fields are no reading.
    void FeedGuards(const Protocol::Reading &r, std::optional<bool> constantCurrent);
    void GuardsChanged();  // the panel's line, the deadline
    void RememberGuards(); // the records of what changed
    // The safe output, each line once; the failure's text, or "" when it went out.
    QString SendSafeOutput(const Guards::Plan &plan);
    static QString SafeText(const Guards::Plan &plan); // "The output was set to 0.0 V and 0.01 A."
    // A safe output the port failed under, sent with the next reading (STOP first when an
    // internal program was running).
    struct GuardRetry {
        QString words;
        bool stopInternal = false;
        bool trip = true;
    };
    std::optional<GuardRetry> guardRetry_;
    void RetrySafeOutput();
    // The automatic reconnect's tries, when it is on and no supply is known.
    void StartTries();
    // The limit typed into an input box, asked again after an entry that is no usable limit;
    // nothing when cancelled (or a signal ended the program meanwhile).
    std::optional<float> AskLimit(const QString &quantity, const QString &prompt,
                                  const QString &pattern, double fieldMax);
    bool EndProgram(int code);

    Comm1 &comm1_;
    RoutedDialogs routed_; // every box of the window: a script's command hears them instead
    Dialogs &dialogs_;
    Clock &clock_;
    QString databasePath_;
    Database db_;
    PageContext pages_;
    int exitCode_ = 0;
    bool unloaded_ = false;
    // After a connection, the first poll that reports a program running in the supply shows it
    // on the internal page, so that it can be stopped from here.
    bool adoptRun_ = false;
    QString mode_;     // "CV" or "CC" from the last poll that told, for the recording
    QString pollMode_; // the same from the last poll, empty when it did not tell: for scripts
    bool autoReconnect_ = false;
    bool linkBox_ = false; // a box about the link waits for its OK
    int linkWork_ = 0;     // LinkWork held
    ScriptHandlers scripts_{*this};
    quint16 remotePort_ = 5025;
    KeepAwake *awake_ = nullptr;
    QString awakeFailureNotedIn_; // the recording already told the computer may sleep
    QHash<QString, QString> guardRecords_; // the guards' records as the file holds them
    Recording::Context RecordingContext() const;
};
