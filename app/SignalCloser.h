// Turns SIGTERM, SIGINT and SIGHUP (on Windows: Ctrl+C or Ctrl+Break in the console it was started
// from, that console closed, a logoff or a shutdown) into an ordinary close of the main window, so
// that it still stops a running program and tells the supply ENDS. The handler only hands the
// close to the event loop, which may be that of an open dialog: every open dialog is closed first,
// so that nothing waits for an answer any more.
#pragma once

#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;

class SignalCloser : public QObject {
    Q_OBJECT
public:
    explicit SignalCloser(QWidget *window);
    ~SignalCloser() override;
#ifdef Q_OS_WIN
    // The console's handler, called on a thread of the system's: a close or logoff ends the
    // process when it returns, so it returns once the window has closed (10 s at most).
    static int __stdcall ConsoleEvent(unsigned long type);
#endif

private:
    void closeInOrder();

    QPointer<QWidget> window_;
#ifndef Q_OS_WIN
    static void onSignal(int);
    static int fds_[2];
    QSocketNotifier *notifier_ = nullptr;
#endif
};
