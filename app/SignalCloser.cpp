#include "SignalCloser.h"

#include <QApplication>
#include <QDialog>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

int SignalCloser::fds_[2] = {-1, -1};

void SignalCloser::onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(fds_[0], &byte, 1);
}

SignalCloser::SignalCloser(QWidget *window) : QObject(window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) != 0)
        return;
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [window] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(fds_[1], &byte, 1);
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible())
                dialog->reject();
        window->close();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}
