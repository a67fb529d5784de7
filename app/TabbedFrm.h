// The main window: owns the port, the pages, the panel and the timers.
#pragma once

#include <QMainWindow>

class Comm1;
class Dialogs;
class Clock;

class TabbedFrm : public QMainWindow {
    Q_OBJECT
public:
    TabbedFrm(Comm1 &port, Dialogs &dialogs, Clock &clock, QWidget *parent = nullptr);

    // " QVR 2.0 [" + page caption without outer blanks + "]"
    static QString NormalTitle(const QString &pageCaption);

private:
    Comm1 &comm1_;
    Dialogs &dialogs_;
    Clock &clock_;
};
