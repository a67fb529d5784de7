// Guards over an unattended run: conditions on the polls' readings that end the run safely, on a
// fault ("tripped") or when the job is done. The rule alone, without widgets or the line: the
// caller feeds every poll's reading and carries out what a verdict asks.
#pragma once

#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace Guards {

enum Condition {
    CurrentAbove,     // current above X A for T s
    VoltageBelow,     // voltage below X V for T s while the set voltage is above X
    VoltageAbove,     // voltage above X V for T s
    ConstantCurrent,  // C.C. for T s
    CurrentBelowInCv, // current below X A in C.V. for T s: a charge's end
    ChargeReaches,    // X Ah since arming
    EnergyReaches,    // X Wh since arming
    TimeReaches,      // T s since arming
    NoReading,        // no reading for T s: carried out once the supply answers again
    ConditionCount
};
enum class Kind { Trip, Done };
Kind KindOf(Condition c);
// Values as the guards' words give them: "0.050 A", "2.31 A", "12.00 V", "5:00".
QString Amps(double a);
QString Volts(double v);
QString HoursMinutes(double s);
// The word a script reads after "DONE " or "TRIPPED ": "CURR:HIGH", "VOLT:LOW" ...
QString Keyword(Condition c);

struct Setting {
    bool on = false;
    double x = 0;     // the value the condition names (A, V, Ah or Wh)
    double holdS = 0; // how long it must hold; the time limit itself for TimeReaches
};
using Settings = std::array<Setting, ConditionCount>;

// One poll: what it read (nothing when the supply gave no reading, or one it cannot have made),
// with the setpoints and the counters since arming.
struct Reading {
    double atS = 0; // monotonic seconds
    std::optional<double> volt, curr;
    std::optional<bool> constantCurrent;
    double setVolt = 0, setCurr = 0;
    double ah = 0, wh = 0;
};

struct Verdict {
    Condition condition;
    Kind kind;
    QString words; // "Done: current 0.048 A below 0.050 A in C.V. for 60 s"
};

// Guards as the operator set them, and whether they watch: what a restart must find again.
struct Plan {
    Settings conditions{};
    // The output a guard leaves: 0.0 V and the lowest current a setpoint may have.
    double safeVolt = 0, safeCurr = 0.01;
    bool stopRecording = false;        // a recording running ends too
    bool armed = false;
};
// The settings records that keep a plan, each value within the table's 50 characters:
// "Guards" = "armed=1;safe=0.00,0.010;stoprec=0", and one per condition, ticked or not, so that
// what was typed survives too: "Guard CURR:LOW" = "on,0.05,60".
inline const QString MainRecord = QStringLiteral("Guards");
QString RecordName(Condition c);
using Records = QList<std::pair<QString, QString>>;
Records ToRecords(const Plan &plan);
// The plan from the records `read` finds; nothing when one cannot be read (a damaged record arms
// nothing) or there is no main record.
std::optional<Plan> FromRecords(const std::function<std::optional<QString>(const QString &)> &read);

// Whether a reading is one the supply can have made: not negative, and not beyond its limits
// (limits of 0 are not known yet and allow any).
bool Plausible(double volt, double curr, double maxVolt, double maxCurr);

// Why a set of guards cannot be armed ("" when it can): a current limit above the supply's
// maximum, a "below X in C.V." with the set current under X, a guard with nothing to watch.
QString ArmRefusal(const Settings &s, double maxVolt, double maxCurr, double setCurr);

class Watch {
public:
    void Arm(const Settings &settings, double nowS);
    void Disarm() { armed_ = false; }
    bool Armed() const { return armed_; }
    // A poll's reading; the first condition that has held long enough, once.
    std::optional<Verdict> Feed(const Reading &r);
    // Time passing without a reading (a timer between polls): the "no reading" guard.
    std::optional<Verdict> Tick(double nowS);
    const Settings &Conditions() const { return settings_; }

private:
    std::optional<Verdict> verdict(Condition c, const Reading &r, double heldS);
    Settings settings_{};
    bool armed_ = false;
    double armedAtS_ = 0, lastReadingS_ = 0;
    std::array<std::optional<double>, ConditionCount> since_{}; // when each began to hold
};

} // namespace Guards
