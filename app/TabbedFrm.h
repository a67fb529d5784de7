// The main window: owns the port, the database, the pages, the panel and the timers, and runs
// start-up, page switching, the timers' dispatch and shutdown in their fixed order.
#pragma once

#include "Database.h"
#include "ProgramPages.h"

#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <optional>

class Clock;
class Comm1;
class DataLogPage;
class Dialogs;
class GridEditor;
class Panel;

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

    Database &db() { return db_; }
    // Exit status when Form_Load ended the program.
    int exitCode() const { return exitCode_; }

    // The procedures the panel and the pages call on the main window.
    bool Unloaded() const { return unloaded_; }
    void RestartLiveLogging();
    void ChartDefaults();
    void ClsFGrid();          // the current page's grid to zero texts
    void SetFGridForeColor(); // colour the current page's grid, update its Run button
    void ReLoadTB();          // the table named in the current page's name box; throws StoreError

public slots:
    // Start-up; false when the operator's answers, or a signal, end the program.
    bool Form_Load();
    void Form_Activate();
    void Form_Unload();
    void Tab1_Click(int index);
    void Timer1_Timer();
    void Timer2_Timer();
    void PollOutputState();
    void LiveChartFrame();
    // The enabled states of the page and panel buttons, kept while a program runs.
    void SaveEnableStates();
    void RestoreEnableStates();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void SetUpPages(); // grids, name lists and boxes at start-up
    void LinkLost(const QString &description);
    // The limit typed into an input box; nothing when cancelled or not a usable number.
    std::optional<float> AskLimit(const QString &prompt, const QString &pattern, double fieldMax);
    bool EndProgram(int code);

    Comm1 &comm1_;
    Dialogs &dialogs_;
    Clock &clock_;
    QString databasePath_;
    Database db_;
    PageContext pages_;
    int exitCode_ = 0;
    bool unloaded_ = false;
};
