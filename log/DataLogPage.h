// The Data Log page: the chart surface with its axis labels, the scale fields, the Now/Log choice
// with the live indicator, the chart toolbar, live sampling, and the stored logs.
#pragma once

#include "ChartCommands.h"
#include "ChartReadout.h"
#include "ChartScale.h"
#include "ChartView.h"
#include "LogPrint.h"
#include "Recorder.h"
#include "ScalePanel.h"
#include "StatsPanel.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class ChartSurface;
class Clock;
class Database;
class Dialogs;
class QTabWidget;

class DataLogPage : public QWidget {
    Q_OBJECT
public:
    DataLogPage(Database &db, Dialogs &dialogs, Clock &clock, QWidget *parent = nullptr);

    // The page's parts: the side panel with the scale fields, the chart with its axes, the
    // toolbar and chart menu.
    ScalePanel *Side = nullptr;
    ChartView *View = nullptr;
    ChartCommands *Commands = nullptr;
    StatsPanel *Stats = nullptr;

    // The parts' controls, under the names the operator documentation gives them.
    std::array<QRadioButton *, 2> Option3{}; // "     Now" live, "     Log" stored
    QLabel *Light1 = nullptr;                // blinks while recording live
    ChartSurface *Picture1 = nullptr;
    std::array<QLabel *, 11> Label4{}; // voltage at grid line i, bottom to top
    std::array<QLabel *, 11> Label3{}; // current at grid line i
    std::array<QLabel *, 6> Label9{};  // time at every second vertical grid line
    std::array<QComboBox *, ChartScale::FieldCount> Combo3{};
    QToolBar *Toolbar1 = nullptr;
    QAction *ToolButton(int i) const { return Commands->ToolButton(i); } // 1 "Move" .. 5
    QTimer *PVCPicTimer = nullptr;
    QMenu *ChartMenu = nullptr;
    QAction *MnuNow = nullptr, *MnuLog = nullptr, *MnuMove = nullptr, *MnuZoom = nullptr,
            *MnuExit = nullptr, *MnuVolt = nullptr, *MnuCurr = nullptr, *MnuTime = nullptr,
            *MnuSave = nullptr, *MnuDele = nullptr, *MnuExport = nullptr, *MnuPrin = nullptr,
            *MnuDefa = nullptr, *MnuClear = nullptr, *MnuImage = nullptr, *MnuRecord = nullptr;
    bool MoveMode() const { return Commands->MoveMode(); }
    bool ZoomMode() const { return Commands->ZoomMode(); }
    QSize minimumSizeHint() const override; // the window's layout keeps the page at least this

    // Set by the main window: the tab control the page lives in and the hiding of the program
    // grids' cell editor.
    QTabWidget *Tab1 = nullptr;
    std::function<void()> HideEditor;

    // The log last opened: its name and, when the catalogue knows it, when it was created.
    QString OpenLogName;
    std::optional<QDateTime> LogCreated;
    QDateTime LastSampleAt; // the clock time of the newest live sample

    // The hover cursor and the cursors A and B on the chart shown.
    ChartReadout::Cursors Cursors;
    // Where the chart shown puts its slots, and its mapping, as the last drawing read them.
    ChartReadout::Slots ChartSlots(bool live) const;
    ChartReadout::Slots ShownSlots() const; // of the chart Now or Log shows
    ChartScale::Mapping ShownMapping() const;
    // The page as printed (and as a saved image shows it, with `marks` the cursors and the
    // statistics).
    LogPrint::Page PrintedPage(bool marks) const;

    // The recording of every sample to a file, and what the main window tells it.
    Recorder Rec;
    std::function<Recording::Context()> RecordContext = [] { return Recording::Context(); };
    std::function<QString()> PortText = [] { return QString(); }; // "port 1 (/dev/ttyS0)"
    // What just went well, for the status line a few seconds (failures keep their boxes).
    std::function<void(const QString &text)> Tell = [](const QString &) {};
    // Starts recording to `path`; false after saying why.
    bool StartRecording(const QString &path);  // a box says why it could not start
    QString TryRecording(const QString &path); // says why it could not start, or nothing
    void StopRecording();                      // with its end line
    void Note(const QString &event);           // an event line, while recording

signals:
    void recordingStatus(const QString &text); // empty when no recording runs

public:
    // The scale as the fields and labels show it, and back.
    ChartScale::Scale ReadScale() const;
    void ShowScale(const ChartScale::Scale &scale);
    bool IsShown() const; // the current page of Tab1

public slots:
    // Start-up: lists, field texts and labels, an empty live store.
    void SetUp(const QStringList &tables);
    void Shown(); // the page was selected
    void Combo3_KeyUp(int index, int keyCode);
    void Combo3_KeyUp_Def(const QString &key);
    void Combo3_Click(int index);
    void Combo3_Change(int index);
    void Option3_Click(int index);
    void Light1_Click();
    void Toolbar1_ButtonClick(int button);
    void MnuDefa_Click();
    void MnuSave_Click();
    void MnuDele_Click();
    void MnuNow_Click();
    void MnuLog_Click();
    void MnuMove_Click();
    void MnuZoom_Click();
    void MnuExit_Click();
    void MnuExport_Click();
    void MnuPrin_Click();
    void MnuClear_Click();  // "Clear Cursors", and Escape
    void MnuImage_Click();  // "Save Chart Image..."
    void MnuRecord_Click(); // "Record...": asks for a file and starts, or stops
    // The statistics and the marks over the chart brought up to date, without drawing the chart.
    void UpdateReadings();
    // Mouse on the chart: button 1 left, 2 right; shift 1 Shift, 2 Ctrl, 4 Alt; X, Y in the
    // surface's units.
    void Picture1_MouseDown(int button, int shift, int x, int y);
    void Picture1_MouseMove(int button, int shift, int x, int y);
    void Picture1_MouseUp(int button, int shift, int x, int y);
    void Picture1_Set_PVC();
    void Picture1_Set_LOG();
    void RedrawByMode();
    void PVCPicTimer_Timer();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void ConnectCommands();
    void ShowMouseMode(); // the pointer of the mode over the chart and the page
    void PrintLog();
    void PlaceParts();
    void Draw(bool live);
    void OpenLog(const QString &name);
    void FillLogList(const QStringList &tables);
    void RecordSample(float volt, float curr);
    void RecordingStopped();        // says why, in a box and on standard error
    void ShowRecording(bool force); // check marks and the status text
    qint64 statusShownMs_ = 0;

    Database &db_;
    Dialogs &dialogs_;
    Clock &clock_;
    QString lastKey_; // Combo3_KeyUp's text, "index_keycode"
    bool mouseDown_ = false;
    QPointF anchor_; // of the drag; moves a division with every step
};
