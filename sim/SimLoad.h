// What the simulated supply's output feeds: a resistor whose value may change on a schedule
// ("10,2@30s": 10 ohm, then 2 ohm from 30 s after the first command line), or a cell that
// charges, its open-circuit voltage rising with its charge, behind an internal resistance, so
// that a constant-current, constant-voltage charge runs its course.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace SimLoad {

struct Step {
    qint64 fromMs;
    float ohm;
};
// "10" or "10,2@30s,10@45s" (seconds, or milliseconds with "ms"); nothing when it is not one.
std::optional<std::vector<Step>> ParseSchedule(const QString &text);

struct Flow {
    float volt, curr;
    bool constantCurrent;
};

// A supply set to `volt` and `curr` into `ohm`: constant voltage until the load would draw more
// than the limit.
Flow IntoResistor(float volt, float curr, float ohm);

class Cell {
public:
    // "2,4.2,0.1": capacity in Ah, the open-circuit voltage when full, the internal resistance.
    static std::optional<Cell> Parse(const QString &text);
    Cell(double capacityAh, double fullVolt, double ohm) : capacityAh_(capacityAh), full_(fullVolt),
                                                          ohm_(ohm) {}

    double speed = 1;     // the chemistry runs this many times faster than the clock
    double charged = 0.2; // state of charge, 0..1 (more when overcharged)

    // The open-circuit voltage at a state of charge: a lithium-ion curve scaled to `fullVolt`.
    double OpenVolt(double charge) const;
    // The output set to `volt` and `curr` now; the charge taken since the last call added first.
    Flow Feed(float volt, float curr, qint64 nowMs);
    // What flows at the present charge, without time passing.
    Flow Now(float volt, float curr) const;

private:
    double capacityAh_, full_, ohm_;
    std::optional<qint64> lastMs_;
    float lastVolt_ = 0, lastCurr_ = 0;
};

} // namespace SimLoad
