#include "KeepAwake.h"

#include <QFileInfo>
#include <QStringList>
#ifdef QVR_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

QString AwakeReason(const QString &recordingFile, const QString &steppedTable) {
    QStringList what;
    if (!recordingFile.isEmpty())
        what << QStringLiteral("Recording to %1").arg(QFileInfo(recordingFile).fileName());
    if (!steppedTable.isEmpty())
        what << QStringLiteral("%1the user table %2")
                    .arg(what.isEmpty() ? QStringLiteral("Stepping ") : QStringLiteral("stepping "),
                         steppedTable);
    return what.join(QStringLiteral(" and "));
}

#ifdef QVR_HAVE_DBUS

// logind hands out a file descriptor: the inhibitor lasts while it is open. A new reason takes a
// new one before the old is closed, so there is no moment without.
struct KeepAwake::Backend {
    explicit Backend(const QString &address)
        : bus(address.isEmpty()
                  ? QDBusConnection::systemBus()
                  : QDBusConnection::connectToBus(address, QStringLiteral("qvr-keep-awake"))),
          own(!address.isEmpty()) {}
    ~Backend() {
        if (own)
            QDBusConnection::disconnectFromBus(bus.name());
    }
    QDBusConnection bus;
    bool own;
    QDBusUnixFileDescriptor inhibitor;
};

KeepAwake::KeepAwake(QObject *parent, const QString &systemBus)
    : QObject(parent), backend_(std::make_unique<Backend>(systemBus)) {}

void KeepAwake::Want(const QString &reason) {
    if (reason == wanted_)
        return;
    wanted_ = reason;
    if (reason.isEmpty()) {
        backend_->inhibitor = QDBusUnixFileDescriptor();
        if (held_)
            emit heldChanged(held_ = false, QString());
        return;
    }
    if (!failure_.isEmpty())
        return;
    if (!backend_->bus.isConnected()) { // no system bus at all: a container, most often
        Answered(reason, false, backend_->bus.lastError().message());
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("QVR") << reason
         << QStringLiteral("block");
    // Asked without waiting: a login manager that is slow to answer holds nothing up.
    auto *watch = new QDBusPendingCallWatcher(backend_->bus.asyncCall(call, 5000), this);
    connect(watch, &QDBusPendingCallWatcher::finished, this, [this, watch, reason] {
        watch->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watch;
        if (reply.isValid() && reply.value().isValid() && reason == wanted_)
            backend_->inhibitor = reply.value();
        Answered(reason, reply.isValid() && reply.value().isValid(),
                 reply.isError() ? reply.error().message() : QString());
    });
}

#else

struct KeepAwake::Backend {};

KeepAwake::KeepAwake(QObject *parent, const QString &) : QObject(parent) {}

void KeepAwake::Want(const QString &reason) {
    if (reason == wanted_)
        return;
    wanted_ = reason;
#ifdef Q_OS_WIN
    // Per thread: the window's thread holds it until it says otherwise.
    const bool ok = SetThreadExecutionState(reason.isEmpty()
                                                ? ES_CONTINUOUS
                                                : ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
    if (reason.isEmpty()) {
        if (held_)
            emit heldChanged(held_ = false, QString());
        return;
    }
    Answered(reason, ok, QStringLiteral("the system refused"));
#else
    if (!reason.isEmpty())
        Answered(reason, false, QStringLiteral("not on this system"));
#endif
}

#endif

KeepAwake::~KeepAwake() {
#ifdef Q_OS_WIN
    if (held_)
        SetThreadExecutionState(ES_CONTINUOUS);
#endif
}

void KeepAwake::Answered(const QString &reason, bool ok, const QString &error) {
    if (reason != wanted_)
        return; // a wish that has changed since
    if (ok) {
        held_ = true;
        emit heldChanged(true, reason);
    } else if (failure_.isEmpty()) {
        failure_ = QStringLiteral("the computer may go to sleep: nothing keeps it awake (%1)")
                       .arg(error.isEmpty() ? QStringLiteral("no answer") : error);
        emit failed(failure_);
    }
}
