#include "Supply.h"

#include "Module1.h"
#include "Setpoints.h"

#include <QStringList>
#include <cmath>

void Supply::SetConnected(bool up) {
    if (up == connected_)
        return;
    connected_ = up;
    if (!up) {
        last_ = {};
        ++tally_.linkLosses;
    }
    emit linkChanged(up);
}

void Supply::SetReading(const Output &reading) {
    last_ = reading;
    emit readingChanged();
}

void Supply::SetSetpoints(std::optional<float> volts, std::optional<float> amps) {
    if (volts == setVolts_ && amps == setAmps_)
        return;
    setVolts_ = volts;
    setAmps_ = amps;
    emit setpointsChanged();
}

void Supply::SetRun(const Run &run) {
    if (run.where == run_.where && run.step == run_.step && run.pass == run_.pass)
        return;
    run_ = run;
    emit runChanged();
}

QString Supply::SetText(float volts, float amps) {
    QStringList parts{QStringLiteral("Set")};
    if (volts >= 0)
        parts << Module1::Format(Setpoints::SentVolts(volts).value_or(volts),
                                 QStringLiteral("0.0")) +
                     QStringLiteral(" V");
    if (amps >= 0)
        parts << Module1::Format(Setpoints::SentAmps(amps).value_or(amps), QStringLiteral("0.00")) +
                     QStringLiteral(" A");
    return parts.join(u' ');
}

Supply::Result Supply::Check(bool program, bool supply) const {
    if (!handlers_.busy)
        return {Refusal::Failed, QStringLiteral("the window is not ready")};
    if (const QString busy = handlers_.busy(); !busy.isEmpty())
        return {Refusal::Conflict, busy};
    if (program && run_.where != Where::Idle)
        return {Refusal::Conflict, run_.where == Where::Internal
                                       ? QStringLiteral("an internal program runs")
                                       : QStringLiteral("an external program runs")};
    if (supply && !connected_)
        return {Refusal::NoSupply, QStringLiteral("no supply answers")};
    return {};
}

Supply::Result Supply::SetVoltage(double volts) {
    // A running program owns the setpoints, as it locks the panel's boxes.
    if (Result r = Check(true); !r.ok())
        return r;
    // The panel's rule and rounding: what "Set" would send for the same number goes out.
    if (!std::isfinite(volts) || !Setpoints::VoltValid(float(volts)))
        return {Refusal::OutOfRange, Setpoints::VoltMessage(false)};
    Result r = handlers_.sendVolt(float(volts));
    if (r.ok())
        emit happened(QStringLiteral("script: ") + SetText(float(volts), -1));
    return r;
}

Supply::Result Supply::SetCurrent(double amps) {
    if (Result r = Check(true); !r.ok())
        return r;
    if (!std::isfinite(amps) || !Setpoints::CurrValid(float(amps)))
        return {Refusal::OutOfRange, Setpoints::CurrMessage(false)};
    Result r = handlers_.sendCurr(float(amps));
    if (r.ok())
        emit happened(QStringLiteral("script: ") + SetText(-1, float(amps)));
    return r;
}

Supply::Result Supply::Measure() {
    if (Result r = Check(false); !r.ok())
        return r;
    Result r = handlers_.poll();
    if (r.ok() && last_.volts < 0)
        return {Refusal::NoSupply, QStringLiteral("the supply gave no reading")};
    return r;
}

Supply::Result Supply::RunTable(Where where, const QString &table, int cycles) {
    if (Result r = Check(true); !r.ok())
        return r;
    if (where == Where::Idle || cycles < 0 || cycles > (where == Where::Internal ? 9 : 99999999))
        return {Refusal::OutOfRange, QStringLiteral("Entry number of cycle .")};
    Result r = handlers_.runTable(where, table, cycles);
    if (r.ok())
        emit happened(QStringLiteral("script: %1 program %2, %3 cycles")
                          .arg(where == Where::Internal ? QStringLiteral("internal")
                                                        : QStringLiteral("external"),
                               table)
                          .arg(cycles));
    return r;
}

Supply::Result Supply::Stop() {
    if (run_.where == Where::Idle)
        return {};
    if (Result r = Check(false, false); !r.ok())
        return r;
    Result r = handlers_.stop();
    if (r.ok())
        emit happened(QStringLiteral("script: program stopped"));
    return r;
}

Supply::Result Supply::Recall(int memory) {
    if (Result r = Check(true); !r.ok())
        return r;
    if (memory < 1 || memory > 9)
        return {Refusal::OutOfRange, QStringLiteral("memory %1 does not exist").arg(memory)};
    Result r = handlers_.recall(memory);
    if (r.ok())
        emit happened(QStringLiteral("script: memory %1 recalled").arg(memory));
    return r;
}

Supply::Result Supply::ZeroCounters() {
    if (Result r = Check(false, false); !r.ok())
        return r;
    handlers_.zeroCounters();
    SetCounters(0, 0); // the next question hears the new start, not the last poll's totals
    emit happened(QStringLiteral("script: counters zeroed"));
    return {};
}

void Supply::SetRecording(const QString &file) {
    if (file == recording_)
        return;
    recording_ = file;
    scriptRecords_ = false; // whoever started this one, a script's own says so after it
    emit recordingChanged();
}

Supply::Result Supply::Record(bool on, const QString &file) {
    if (Result r = Check(false, false); !r.ok())
        return r;
    // The operator's recording is the operator's to end.
    if (!on && !recording_.isEmpty() && !scriptRecords_)
        return {Refusal::Conflict,
                QStringLiteral("the recording to %1 was started by the operator").arg(recording_)};
    Result r = handlers_.record(on, file);
    if (on && r.ok())
        scriptRecords_ = true;
    return r;
}

Supply::Result Supply::ArmGuards(const Guards::Plan &plan) {
    if (Result r = Check(false, false); !r.ok())
        return r;
    // The window notes what was armed.
    if (const QString why = handlers_.armGuards(plan); !why.isEmpty())
        return {Refusal::Conflict, why};
    return {};
}

Supply::Result Supply::DisarmGuards() {
    if (Result r = Check(false, false); !r.ok())
        return r;
    if (guards_.Now() != Guards::State::Off) {
        guards_.Disarm();
        emit happened(QStringLiteral("script: guards disarmed"));
    }
    return {};
}

Supply::Result Supply::Reset() {
    if (Result r = Check(false); !r.ok())
        return r;
    if (Result r = Stop(); !r.ok())
        return r;
    if (Result r = SetVoltage(0); !r.ok())
        return r;
    return SetCurrent(LeastAmps);
}
