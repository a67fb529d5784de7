#include "EnergyMeter.h"

void EnergyMeter::Reading(qint64 nowMs, double volt, double curr) {
    const bool valid = volt >= 0 && curr >= 0;
    if (lastMs_ && nowMs > *lastMs_) {
        const qint64 dt = nowMs - *lastMs_;
        if (valid && lastValid_ && dt <= MaxStepMs) {
            const double s = dt / 1000.0;
            charge_ += (lastCurr_ + curr) / 2 * s;
            energy_ += (lastVolt_ * lastCurr_ + volt * curr) / 2 * s;
            coveredMs_ += dt;
        } else {
            blindMs_ += dt;
        }
    }
    lastMs_ = nowMs;
    lastValid_ = valid;
    lastVolt_ = volt;
    lastCurr_ = curr;
}

void EnergyMeter::Zero() {
    *this = EnergyMeter();
}
