// What the supply is, apart from any widget: the window writes the state as it changes and shows
// it through the signals; a script reads it and asks for changes through the requests, which run
// the window's own handlers after the same checks as the operator's buttons.
#pragma once

#include "GuardKeeper.h"
#include "RunningTotal.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class Supply : public QObject {
    Q_OBJECT
public:
    struct Output {
        float volts = -1, amps = -1; // -1: none
        QString mode;                // "CV", "CC", or empty when the poll did not tell
    };
    enum class Where { Idle, Internal, External };
    struct Run {
        Where where = Where::Idle;
        int step = 0, pass = 0; // the external program's
    };
    // Why a request was not carried out; the text says it in QVR's words.
    enum class Refusal { None, NoSupply, Conflict, OutOfRange, Failed };
    struct Result {
        Refusal refusal = Refusal::None;
        QString text;
        bool ok() const { return refusal == Refusal::None; }
    };

    // What the window does for a request: the handlers of its buttons, installed by the window
    // (the core knows no window). A message they would show in a box comes back as a Failed
    // result's text instead.
    struct Handlers {
        std::function<Result(float volts)> sendVolt;
        std::function<Result(float amps)> sendCurr;
        std::function<Result()> poll; // a fresh GETD, in turn with the polling
        std::function<Result(Where where, const QString &table, int cycles)> runTable;
        std::function<Result()> stop;
        std::function<Result(int memory)> recall;
        std::function<void()> zeroCounters;
        std::function<Result(bool on, const QString &file)> record;
        // What the operator is in the middle of that a script must not cut into ("the Options
        // dialog is open", the reset's countdown); empty when nothing.
        std::function<QString()> busy;
        // Arms the guards with the window's clock and the supply's limits; the refusal's reason.
        std::function<QString(const Guards::Plan &plan)> armGuards;
    };

    explicit Supply(QObject *parent = nullptr) : QObject(parent) {}
    void SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

    // --- State, written by the window as it changes ---
    bool Connected() const { return connected_; }
    void SetConnected(bool up);
    const Output &Last() const { return last_; }
    void SetReading(const Output &reading);
    std::optional<float> SetVolts() const { return setVolts_; }
    std::optional<float> SetAmps() const { return setAmps_; }
    void SetSetpoints(std::optional<float> volts, std::optional<float> amps);
    const Run &Running() const { return run_; }
    void SetRun(const Run &run);
    double ChargeAh() const { return ah_; }
    double EnergyWh() const { return wh_; }
    void SetCounters(double ah, double wh) {
        ah_ = ah, wh_ = wh;
        tally_.ah.Take(ah);
        tally_.wh.Take(wh);
    }

    // What a monitor counts over the program's run, never decreasing: the polls and those that
    // got no reading, the links lost, and the charge and energy delivered (the panel's Zero does
    // not reset them).
    struct Tally {
        quint64 polls = 0, pollFailures = 0, linkLosses = 0;
        RunningTotal ah = RunningTotal::From(0), wh = RunningTotal::From(0);
    };
    const Tally &Counted() const { return tally_; }
    void CountPoll(bool answered) {
        ++tally_.polls;
        tally_.pollFailures += !answered;
    }
    const QString &RecordingFile() const { return recording_; } // empty: none
    void SetRecording(const QString &file);

    // --- Requests, a script's: checked here, then done by the window's handlers ---
    // A setpoint the panel's "Set" would refuse is OutOfRange with the panel's message and
    // nothing goes out; any other goes out rounded as "Set" rounds it.
    Result SetVoltage(double volts);
    Result SetCurrent(double amps);
    Result Measure(); // Last() then holds the fresh reading
    Result RunTable(Where where, const QString &table, int cycles);
    Result Stop();
    Result Recall(int memory);
    Result ZeroCounters();
    // A script ends only a recording a script started.
    Result Record(bool on, const QString &file);
    // The guards: a plan armed, refused with the reason, or disarmed. Both hold while a program
    // runs; arming needs no supply (they watch it once it answers).
    Result ArmGuards(const Guards::Plan &plan);
    Result DisarmGuards();
    Guards::Keeper &Guard() { return guards_; }
    const Guards::Keeper &Guard() const { return guards_; }

    // *RST: any program stopped, then 0.0 V and the smallest current the setpoint rules allow.
    Result Reset();

    // The recording's note of setpoints sent, by the values the line carried: "Set 5.1 V 0.50 A";
    // a negative value is left out.
    static QString SetText(float volts, float amps);
    static constexpr float LeastAmps = 0.01f;

signals:
    void linkChanged(bool up);
    void readingChanged();
    void setpointsChanged();
    void runChanged();
    void recordingChanged();
    // A change a script made, in words for the recording ("script: Set 5.0 V").
    void happened(const QString &text);

private:
    // Conflict when the operator's reset, a dialog or (with `program`) a running program is in
    // the way; NoSupply without a connection.
    Result Check(bool program, bool supply = true) const;

    Handlers handlers_;
    bool connected_ = false;
    Output last_;
    std::optional<float> setVolts_, setAmps_;
    Run run_;
    double ah_ = 0, wh_ = 0;
    QString recording_;
    bool scriptRecords_ = false; // the recording running was started by a script
    Guards::Keeper guards_;
    Tally tally_;
};
