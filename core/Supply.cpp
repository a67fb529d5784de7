#include "Supply.h"

#include "Module1.h"
#include "Setpoints.h"

#include <cmath>

void Supply::SetConnected(bool up) {
    if (up == connected_)
        return;
    connected_ = up;
    if (!up)
        last_ = {};
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

void Supply::SetRecording(const QString &file) {
    if (file == recording_)
        return;
    recording_ = file;
    emit recordingChanged();
}

bool Supply::InResolution(double value, double step) {
    const double steps = value / step;
    return std::abs(steps - std::round(steps)) < 1e-6 * std::max(1.0, std::abs(steps));
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
    if (!std::isfinite(volts) || !Setpoints::VoltValid(float(volts)) || !InResolution(volts, 0.1))
        return {Refusal::OutOfRange, Setpoints::VoltMessage(false)};
    Result r = handlers_.sendVolt(float(volts));
    if (r.ok())
        emit happened(QStringLiteral("script: VOLT %1").arg(Module1::NumStr(float(volts))));
    return r;
}

Supply::Result Supply::SetCurrent(double amps) {
    if (Result r = Check(true); !r.ok())
        return r;
    if (!std::isfinite(amps) || !Setpoints::CurrValid(float(amps)) || !InResolution(amps, 0.01))
        return {Refusal::OutOfRange, Setpoints::CurrMessage(false)};
    Result r = handlers_.sendCurr(float(amps));
    if (r.ok())
        emit happened(QStringLiteral("script: CURR %1").arg(Module1::NumStr(float(amps))));
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
    if (!handlers_.zeroCounters)
        return Check(false, false);
    handlers_.zeroCounters();
    return {};
}

Supply::Result Supply::Record(bool on, const QString &file) {
    if (Result r = Check(false, false); !r.ok())
        return r;
    return handlers_.record(on, file);
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
