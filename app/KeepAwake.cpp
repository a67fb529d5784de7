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

KeepAwake::~KeepAwake() = default;

void KeepAwake::Ask(const QString &reason) {
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
        const bool ok = reply.isValid() && reply.value().isValid();
        if (ok && reason == wanted_)
            backend_->inhibitor = reply.value();
        Answered(reason, ok, reply.isError() ? reply.error().message() : QString());
    });
}

void KeepAwake::Release() {
    backend_->inhibitor = QDBusUnixFileDescriptor();
}

#else

struct KeepAwake::Backend {};

KeepAwake::KeepAwake(QObject *parent, const QString &) : QObject(parent) {}

KeepAwake::~KeepAwake() {
    if (held_)
        Release();
}

// Per thread: the window's thread holds it until it says otherwise.
void KeepAwake::Ask(const QString &reason) {
#ifdef Q_OS_WIN
    Answered(reason, SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0,
             QStringLiteral("the system refused"));
#else
    Answered(reason, false, QStringLiteral("not on this system"));
#endif
}

void KeepAwake::Release() {
#ifdef Q_OS_WIN
    SetThreadExecutionState(ES_CONTINUOUS);
#endif
}

#endif

void KeepAwake::Want(const QString &reason) {
    if (reason == wanted_)
        return;
    wanted_ = reason;
    if (reason.isEmpty()) {
        Release();
        if (held_)
            emit heldChanged(held_ = false, QString());
    } else if (failure_.isEmpty()) {
        Ask(reason);
    }
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
