// The main window: owns the port, the database, the pages, the panel and the timers, and runs
// start-up, page switching, the timers' dispatch and shutdown in their fixed order.
#pragma once

#include "Database.h"

#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <optional>

class Clock;
class Comm1;
class DataLogPage;
class Dialogs;
class ExternalPage;
class InternalPage;
class Panel;
class PresetPage;

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
    QTimer *Timer1 = nullptr; // GETD polling, reset countdown
    QTimer *Timer2 = nullptr; // live indicator

    Database &db() { return db_; }
    // Exit status when Form_Load ended the program.
    int exitCode() const { return exitCode_; }

    // The procedures the panel and the pages call on the main window.
    bool Unloaded() const { return unloaded_; }
    void RestartLiveLogging();
    void ChartDefaults();

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

private:
    struct EnableStates {
        std::array<bool, 7> command0{};
        std::array<bool, 6> command1{};
        std::array<bool, 7> command2{};
        std::array<bool, 2> command4{};
    };

    void InternalProgramEnded();
    void LinkLost(const QString &description);
    // The limit typed into an input box; nothing when cancelled or not a usable number.
    std::optional<float> AskLimit(const QString &prompt, const QString &pattern, double fieldMax);
    bool EndProgram(int code);

    Comm1 &comm1_;
    Dialogs &dialogs_;
    Clock &clock_;
    QString databasePath_;
    Database db_;
    EnableStates saved_;
    int exitCode_ = 0;
    bool unloaded_ = false;
};
