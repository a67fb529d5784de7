// Keeps the computer from going to sleep while something runs that needs it: a recording, a
// program the computer steps. A laptop's power plan would otherwise suspend it in the middle of a
// night's run and leave the supply at its last setpoints with nobody stepping or recording.
// On Linux a logind "sleep:idle" inhibitor (what `systemd-inhibit --list` shows), on Windows the
// thread's execution state; where neither answers (a container, Wine), the run goes on without.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

// Why the computer must stay awake now, in the words the system's list shows; empty when
// nothing needs it. `recordingFile` and `steppedTable` are empty when none runs.
QString AwakeReason(const QString &recordingFile, const QString &steppedTable);

class KeepAwake : public QObject {
    Q_OBJECT
public:
    // `systemBus` is the D-Bus address of the login manager's bus; empty: the system's own.
    explicit KeepAwake(QObject *parent = nullptr, const QString &systemBus = QString());
    ~KeepAwake() override;

    // What needs the computer now (AwakeReason); empty lets it sleep again.
    void Want(const QString &reason);
    bool Held() const { return held_; }
    // Why the computer could not be kept awake; empty while nothing has failed.
    const QString &Failure() const { return failure_; }

    static constexpr const char *HeldText = "Computer kept awake";

signals:
    void heldChanged(bool held, const QString &reason);
    void failed(const QString &why); // once: later wishes are not asked again

private:
    struct Backend;
    void Ask(const QString &reason); // the system's answer comes to Answered
    void Release();
    void Answered(const QString &reason, bool ok, const QString &error);

    std::unique_ptr<Backend> backend_;
    QString wanted_;
    bool held_ = false;
    QString failure_;
};
