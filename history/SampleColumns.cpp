#include "SampleColumns.h"

#include <algorithm>

namespace History {

using StretchStats::Accumulator;
using StretchStats::Sums;

void SampleColumns::Append(const Sample &s) {
    const qint64 k = samples_.size();
    if (k > 0) {
        const Sample &last = samples_[k - 1];
        Accumulator::Segment(s.t - last.t, last.v, last.i, s.Present(), s.v, s.i, running_);
    }
    if ((k & (Block - 1)) == 0)
        sums_.push_back(running_);
    Accumulator::Sample(s.Present(), s.v, s.i, running_);
    samples_.push_back(s);
    for (int level = 0; level < Levels; ++level) {
        Chunked<Extremes, 10> &nodes = levels_[size_t(level)];
        if ((k >> (BlockBits * (level + 1))) == nodes.size())
            nodes.push_back({});
        nodes.back().Add(s);
    }
}

qint64 SampleColumns::LowerBound(double t, qint64 from) const {
    qint64 lo = std::clamp<qint64>(from, 0, samples_.size()), hi = samples_.size();
    if (lo == hi || !(samples_[lo].t < t))
        return lo;
    // Galloping up from `from` first (the answer is usually near it), with samples_[lo] before t.
    qint64 step = 1;
    for (; lo + step < hi && samples_[lo + step].t < t; step *= 2)
        lo += step;
    hi = std::min(hi, lo + step + 1);
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (samples_[mid].t < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

Extremes SampleColumns::Range(qint64 a, qint64 b) const {
    Extremes out;
    a = std::max<qint64>(a, 0), b = std::min(b, Size());
    // Climb while both ends are aligned to the next level, taking the unaligned nodes on the way.
    qint64 span = 1;
    for (int level = -1; a < b; ++level) {
        const auto node = [&](qint64 j) -> Extremes {
            if (level < 0) {
                Extremes e;
                e.Add(samples_[j]);
                return e;
            }
            return levels_[size_t(level)][j];
        };
        const qint64 up = span << BlockBits;
        if (level + 1 >= Levels) {
            for (qint64 j = a / span; j * span < b; ++j)
                out.Add(node(j));
            break;
        }
        for (; a < b && a % up; a += span)
            out.Add(node(a / span));
        for (; a < b && b % up; b -= span)
            out.Add(node((b - span) / span));
        span = up;
    }
    return out;
}

Sums SampleColumns::Cumulative(qint64 x) const {
    x = std::clamp<qint64>(x, 0, Size());
    const qint64 block = x >> BlockBits;
    if (block >= sums_.size())
        return running_; // x == Size() on a block's edge
    Sums s = sums_[block];
    for (qint64 j = block << BlockBits; j < x; ++j) {
        const Sample &here = samples_[j];
        Accumulator::Sample(here.Present(), here.v, here.i, s);
        // The segment from j to the next sample is j's, as Append counts it.
        if (j + 1 < Size()) {
            const Sample &next = samples_[j + 1];
            Accumulator::Segment(next.t - here.t, here.v, here.i, next.Present(), next.v, next.i,
                                 s);
        }
    }
    return s;
}

StretchStats::Stats SampleColumns::Stats(qint64 a, qint64 b) const {
    const qint64 lo = std::clamp<qint64>(std::min(a, b), 0, Size());
    const qint64 hi = std::clamp<qint64>(std::max(a, b), 0, Size() - 1);
    if (Size() == 0 || hi < lo)
        return {};
    const Sums before = Cumulative(lo), through = Cumulative(hi + 1), segments = Cumulative(hi);
    Sums s;
    s.samples = through.samples - before.samples;
    s.gaps = through.gaps - before.gaps;
    s.vSum = through.vSum - before.vSum;
    s.iSum = through.iSum - before.iSum;
    s.skipped = segments.skipped - before.skipped;
    s.charge = segments.charge - before.charge;
    s.energy = segments.energy - before.energy;
    StretchStats::Stats out = Accumulator::FromSums(s, samples_[hi].t - samples_[lo].t);
    if (const Extremes e = Range(lo, hi + 1); e.Any())
        out.vMin = e.vMin, out.vMax = e.vMax, out.iMin = e.iMin, out.iMax = e.iMax;
    return out;
}

qint64 SampleColumns::Bytes() const {
    qint64 bytes = samples_.Bytes() + sums_.Bytes();
    for (const auto &level : levels_)
        bytes += level.Bytes();
    return bytes;
}

} // namespace History
