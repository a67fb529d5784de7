#include "SignalCloser.h"

#include <QApplication>
#include <QDialog>
#ifdef Q_OS_WIN
#include <QSessionManager>
#include <windows.h>
#else
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

void SignalCloser::closeInOrder() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible())
            dialog->reject();
    if (window_)
        window_->close();
}

#ifdef Q_OS_WIN

namespace {
SignalCloser *instance = nullptr;
HANDLE closed = nullptr; // set once the window has closed
} // namespace

int __stdcall SignalCloser::ConsoleEvent(unsigned long type) {
    if (!instance)
        return FALSE;
    ResetEvent(closed);
    QMetaObject::invokeMethod(
        instance,
        [] {
            instance->closeInOrder();
            SetEvent(closed);
        },
        Qt::QueuedConnection);
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        WaitForSingleObject(closed, 10000);
    return TRUE;
}

SignalCloser::SignalCloser(QWidget *window) : QObject(window), window_(window) {
    instance = this;
    closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(reinterpret_cast<PHANDLER_ROUTINE>(&SignalCloser::ConsoleEvent), TRUE);
    // A logoff or shutdown of a program without a console comes as a request to save.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager &) { closeInOrder(); });
}

SignalCloser::~SignalCloser() {
    SetConsoleCtrlHandler(reinterpret_cast<PHANDLER_ROUTINE>(&SignalCloser::ConsoleEvent), FALSE);
    instance = nullptr;
    SetEvent(closed); // a handler still waiting goes on
}

#else

int SignalCloser::fds_[2] = {-1, -1};

void SignalCloser::onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(fds_[0], &byte, 1);
}

SignalCloser::SignalCloser(QWidget *window) : QObject(window), window_(window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) != 0)
        return;
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(fds_[1], &byte, 1);
        closeInOrder();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

SignalCloser::~SignalCloser() = default;

#endif
