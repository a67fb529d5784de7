#include "SignalCloser.h"

#include <QApplication>
#include <QDialog>
#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
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

// Windows asks first (WM_QUERYENDSESSION, Qt's commitDataRequest) and may still cancel, when
// another program refuses: nothing is stopped then. Only WM_ENDSESSION with its "yes" ends the
// session, and the process is ended once every window has answered it, so the close runs inside
// the message itself (a few exchanges: about a second even with a silent supply).
class SignalCloser::SessionEnd : public QAbstractNativeEventFilter {
public:
    explicit SessionEnd(SignalCloser *closer) : closer_(closer) {}
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override {
        const MSG *msg = static_cast<const MSG *>(message);
        if (type == "windows_generic_MSG" && msg->message == WM_ENDSESSION && msg->wParam &&
            !done_) {
            done_ = true; // each of the program's windows is told
            closer_->closeInOrder();
            // Closed in order: the system would end the process now anyway; ended here, it
            // ends with success for a script that started it.
            if (closer_->exitAtSessionEnd_)
                ExitProcess(0);
        }
        return false;
    }

private:
    SignalCloser *closer_;
    bool done_ = false;
};

SignalCloser::SignalCloser(QWidget *window, bool exitAtSessionEnd)
    : QObject(window), window_(window), exitAtSessionEnd_(exitAtSessionEnd),
      sessionEnd_(new SessionEnd(this)) {
    qApp->installNativeEventFilter(sessionEnd_);
}

SignalCloser::~SignalCloser() {
    qApp->removeNativeEventFilter(sessionEnd_);
    delete sessionEnd_;
}

#else

int SignalCloser::fds_[2] = {-1, -1};

void SignalCloser::onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(fds_[0], &byte, 1);
}

SignalCloser::SignalCloser(QWidget *window, bool) : QObject(window), window_(window) {
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
