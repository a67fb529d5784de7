// The Data Log page: the chart surface with its axis labels, the scale fields, the Now/Log choice
// with the live indicator, the chart toolbar, live sampling, and the stored logs.
#pragma once

#include "ChartScale.h"
#include "LogView.h"

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
class QFrame;
class QTabWidget;

class DataLogPage : public QWidget {
    Q_OBJECT
public:
    DataLogPage(Database &db, Dialogs &dialogs, Clock &clock, QWidget *parent = nullptr);

    std::array<QRadioButton *, 2> Option3{}; // "     Now" live, "     Log" stored
    QLabel *Light1 = nullptr;                // blinks while recording live
    ChartSurface *Picture1 = nullptr;
    std::array<QLabel *, 11> Label4{}; // voltage at grid line i, bottom to top
    std::array<QLabel *, 11> Label3{}; // current at grid line i
    std::array<QLabel *, 6> Label9{};  // time at every second vertical grid line
    std::array<QComboBox *, ChartScale::FieldCount> Combo3{};
    QToolBar *Toolbar1 = nullptr;
    QAction *ToolButton(int i) const { return tools_[size_t(i - 1)]; } // 1 "Move" .. 5 "Print Log"
    QTimer *PVCPicTimer = nullptr;

    // The chart menu, opened by a right click on the chart.
    QMenu *ChartMenu = nullptr;
    QAction *MnuNow = nullptr, *MnuLog = nullptr, *MnuMove = nullptr, *MnuZoom = nullptr,
            *MnuExit = nullptr, *MnuVolt = nullptr, *MnuCurr = nullptr, *MnuTime = nullptr,
            *MnuSave = nullptr, *MnuDele = nullptr, *MnuExport = nullptr, *MnuPrin = nullptr,
            *MnuDefa = nullptr;
    // The mouse mode lives in the enabled states of "Move" and "Zoom".
    bool MoveMode() const { return !ToolButton(1)->isEnabled(); }
    bool ZoomMode() const { return !ToolButton(2)->isEnabled(); }
    QSize minimumSizeHint() const override; // the window's layout keeps the page at least this

    // Set by the main window: the tab control the page lives in and the hiding of the program
    // grids' cell editor.
    QTabWidget *Tab1 = nullptr;
    std::function<void()> HideEditor;

    // The log last opened: its name and, when the catalogue knows it, when it was created.
    QString OpenLogName;
    std::optional<QDateTime> LogCreated;

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
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void BuildSidePanel();
    void BuildMenu();
    void ShowMouseMode(); // the pointer of the mode over the chart and the page
    void PrintLog();
    LogView::Axes MarkedAxes() const;
    void PlaceChart();
    bool LabelsOutgrown() const; // a label's text is wider than the label
    void Draw(bool live);
    void OpenLog(const QString &name);
    void FillLogList(const QStringList &tables);

    Database &db_;
    Dialogs &dialogs_;
    Clock &clock_;
    QFrame *side_ = nullptr;
    std::array<QAction *, 5> tools_{};
    QString lastKey_; // Combo3_KeyUp's text, "index_keycode"
    bool mouseDown_ = false;
    QPointF anchor_; // of the drag; moves a division with every step
};
