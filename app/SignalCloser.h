// Turns SIGTERM, SIGINT and SIGHUP into an ordinary close of the main window, so that a logout or
// a Ctrl+C still stops a running program and tells the supply ENDS. The handler only writes a
// byte to a socket; the close itself runs in the event loop, which may be that of an open dialog:
// every open dialog is closed first, so that nothing waits for an answer any more.
#pragma once

#include <QObject>
#include <QSocketNotifier>

class QWidget;

class SignalCloser : public QObject {
    Q_OBJECT
public:
    explicit SignalCloser(QWidget *window);

private:
    static void onSignal(int);
    static int fds_[2];
    QSocketNotifier *notifier_ = nullptr;
};
