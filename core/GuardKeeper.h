// The guards of this supply as the window and a script both see them: the plan, whether it
// watches, what acted. The window feeds it every poll and carries out what it returns; the plan
// it holds is what the settings record keeps across a restart.
#pragma once

#include "Guards.h"
#include "RunningTotal.h"

#include <QObject>

namespace Guards {

enum class State { Off, Armed, Done, Tripped };

class Keeper : public QObject {
    Q_OBJECT
public:
    explicit Keeper(QObject *parent = nullptr) : QObject(parent) {}

    const Plan &Current() const { return plan_; }
    State Now() const { return state_; }
    // What acted, or waits to act once the supply answers; nothing while watching or off.
    const std::optional<Verdict> &Acted() const { return acted_; }
    bool Pending() const { return pending_.has_value(); }

    // Why `plan` cannot watch ("" when it now does), against the supply's limits and the set
    // current. Charge, energy and time count from this moment.
    QString Arm(const Plan &plan, double nowS, double maxVolt, double maxCurr, double setCurr);
    void Disarm();
    // The conditions and choices while not watching (the dialog's ticks), kept for the next arm.
    void Keep(const Plan &plan);

    // A poll's reading, with the panel's counters as they stand (a Zero meanwhile is bridged):
    // what must be carried out now.
    std::optional<Verdict> Feed(Reading r);
    // Time passing without polls; a "no reading" that held waits for the supply to answer.
    void Tick(double nowS);
    // When Tick next has something to find (monotonic s), or nothing.
    std::optional<double> NextTickS() const;

    // "OFF", "ARMED", "DONE CURR:LOW", "TRIPPED CURR:HIGH": a script's word.
    QString StateWord() const;
    // The panel's one line: "Guards armed: I > 2.00 A for 1 s, done when I < 0.050 A in C.V. for
    // 60 s", or what acted.
    QString Line() const;
    // The conditions ticked, in short: "I > 2.00 A for 1 s, no reading for 30 s".
    static QString Summary(const Settings &s);

signals:
    void changed(); // plan, state or what acted: the record, the panel and the dialog follow

private:
    std::optional<Verdict> acts(const Verdict &v);
    Plan plan_;
    State state_ = State::Off;
    Watch watch_;
    std::optional<Verdict> acted_, pending_;
    double lastReadingS_ = 0;
    // Counters since arming: the panel's totals may be zeroed under a watch.
    RunningTotal ah_, wh_;
};

} // namespace Guards
