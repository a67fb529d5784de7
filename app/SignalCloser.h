// Turns SIGTERM, SIGINT and SIGHUP (on Windows: the end of the session, at logoff or shutdown)
// into an ordinary close of the main window, so that it still stops a running program and tells
// the supply ENDS. The handler only hands the
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
    // `exitAtSessionEnd`: on Windows the process ends (status 0) once the session's end has
    // closed the window; a test keeps it.
    explicit SignalCloser(QWidget *window, bool exitAtSessionEnd = true);
    ~SignalCloser() override;

private:
    void closeInOrder();

    QPointer<QWidget> window_;
#ifdef Q_OS_WIN
    bool exitAtSessionEnd_;
    class SessionEnd;
    SessionEnd *sessionEnd_ = nullptr;
#else
    static void onSignal(int);
    static int fds_[2];
    QSocketNotifier *notifier_ = nullptr;
#endif
};
