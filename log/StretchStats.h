// Statistics over a stretch of samples in time order: minimum, maximum and mean of both traces,
// and charge and energy by the trapezoid rule over the segments between neighbouring samples. A
// segment with a side that holds no reading is left out (nothing is known of the output there).
// The one rule of the Data Log's chart and of a recording's viewer.
#pragma once

#include <cmath>
#include <optional>

namespace StretchStats {

struct Stats {
    double seconds = 0; // from the first to the last sample of the stretch
    int samples = 0, gaps = 0;
    int skipped = 0; // segments left out because a side of them holds no sample
    double vMin = 0, vMax = 0, vMean = 0, iMin = 0, iMax = 0, iMean = 0;
    double ah = 0, wh = 0;
    std::optional<double> dV, dI; // cursor B minus cursor A, with a pair of cursors
};

// Sums that add up stretch by stretch, so that a long run can keep them at intervals.
struct Sums {
    long long samples = 0, gaps = 0, skipped = 0;
    double vSum = 0, iSum = 0, charge = 0, energy = 0; // ampere- and watt-seconds
};

// Feeds samples one after the other; NaN (or `present` false) is a sample slot without reading.
class Accumulator {
public:
    void Add(double t, double v, double i) {
        const bool here = !std::isnan(v) && !std::isnan(i);
        if (started_) {
            Segment(t - lastT_, lastV_, lastI_, here, v, i, sums_);
        } else {
            firstT_ = t;
            started_ = true;
        }
        Sample(here, v, i, sums_);
        if (here) {
            if (sums_.samples == 1)
                vMin_ = vMax_ = v, iMin_ = iMax_ = i;
            vMin_ = std::min(vMin_, v), vMax_ = std::max(vMax_, v);
            iMin_ = std::min(iMin_, i), iMax_ = std::max(iMax_, i);
        }
        lastT_ = t, lastV_ = here ? v : NAN, lastI_ = here ? i : NAN;
    }
    const Sums &Totals() const { return sums_; }
    Stats Result() const {
        Stats s = FromSums(sums_, started_ ? std::abs(lastT_ - firstT_) : 0);
        if (s.samples)
            s.vMin = vMin_, s.vMax = vMax_, s.iMin = iMin_, s.iMax = iMax_;
        return s;
    }

    // The rule itself, for whoever keeps its own running sums.
    static void Sample(bool here, double v, double i, Sums &s) {
        if (!here) {
            ++s.gaps;
            return;
        }
        ++s.samples;
        s.vSum += v, s.iSum += i;
    }
    static void Segment(double dt, double v0, double i0, bool here1, double v1, double i1,
                        Sums &s) {
        if (!here1 || std::isnan(v0) || std::isnan(i0)) {
            ++s.skipped;
            return;
        }
        dt = std::abs(dt);
        s.charge += (i0 + i1) / 2 * dt;
        s.energy += (v0 * i0 + v1 * i1) / 2 * dt;
    }
    // Counts, means, charge and energy of a stretch's sums; minimum and maximum are the caller's.
    static Stats FromSums(const Sums &sums, double seconds) {
        Stats s;
        s.seconds = seconds;
        s.samples = int(sums.samples), s.gaps = int(sums.gaps), s.skipped = int(sums.skipped);
        if (sums.samples)
            s.vMean = sums.vSum / double(sums.samples), s.iMean = sums.iSum / double(sums.samples);
        s.ah = sums.charge / 3600, s.wh = sums.energy / 3600;
        return s;
    }

private:
    Sums sums_;
    bool started_ = false;
    double firstT_ = 0, lastT_ = 0, lastV_ = NAN, lastI_ = NAN;
    double vMin_ = 0, vMax_ = 0, iMin_ = 0, iMax_ = 0;
};

} // namespace StretchStats
