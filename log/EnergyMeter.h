// Charge and energy delivered, integrated by the trapezoid rule from every poll's reading (not
// the sampling interval's, so slow sampling stays exact). Time without a reading on either side
// is not integrated but counted as blind.
#pragma once

#include <QtGlobal>
#include <optional>

class EnergyMeter {
public:
    // Readings further apart than this (polling stopped, the supply lost) leave the time between
    // them blind: nothing is known of the output meanwhile.
    static constexpr qint64 MaxStepMs = 2000;

    // A poll's reading at monotonic `nowMs`; a negative voltage or current is no reading.
    void Reading(qint64 nowMs, double volt, double curr);
    void Zero(); // the counters start again from the next reading

    double Ah() const { return charge_ / 3600; }
    double Wh() const { return energy_ / 3600; }
    qint64 CoveredMs() const { return coveredMs_; }
    qint64 BlindMs() const { return blindMs_; }

private:
    double charge_ = 0, energy_ = 0; // ampere- and watt-seconds
    qint64 coveredMs_ = 0, blindMs_ = 0;
    std::optional<qint64> lastMs_;
    bool lastValid_ = false;
    double lastVolt_ = 0, lastCurr_ = 0;
};
