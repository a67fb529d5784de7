// The samples of a recording in memory, with what lets a view of a week answer at once: a
// min/max pyramid over blocks of 16, 256, 4096 ... samples and running sums every 16 samples.
// Any stretch's extremes, means, charge and energy come from the full-resolution samples, read
// at most a block or two at each end; nothing is ever rescanned.
#pragma once

#include "StretchStats.h"

#include <QtGlobal>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace History {

// A column that grows in fixed chunks: no copy as it grows, and at most a chunk to spare.
template <typename T, int Bits> class Chunked {
public:
    void push_back(const T &value) {
        if ((size_ & Mask) == 0)
            chunks_.push_back(std::make_unique<T[]>(Size));
        chunks_.back()[size_ & Mask] = value;
        ++size_;
    }
    const T &operator[](qint64 k) const { return chunks_[size_t(k >> Bits)][k & Mask]; }
    T &operator[](qint64 k) { return chunks_[size_t(k >> Bits)][k & Mask]; }
    T &back() { return (*this)[size_ - 1]; }
    qint64 size() const { return size_; }
    qint64 Bytes() const { return qint64(chunks_.size()) * Size * qint64(sizeof(T)); }

private:
    static constexpr qint64 Size = qint64(1) << Bits, Mask = Size - 1;
    std::vector<std::unique_ptr<T[]>> chunks_;
    qint64 size_ = 0;
};

// One sample: seconds from the recording's first line, and the reading (NaN: none here).
struct Sample {
    double t;
    float v, i;
    bool Present() const { return !std::isnan(v) && !std::isnan(i); }
};

struct Extremes {
    float vMin = std::numeric_limits<float>::infinity(), vMax = -vMin, iMin = vMin, iMax = -vMin;
    bool Any() const { return vMin <= vMax; }
    void Add(const Extremes &o) {
        vMin = std::min(vMin, o.vMin), vMax = std::max(vMax, o.vMax);
        iMin = std::min(iMin, o.iMin), iMax = std::max(iMax, o.iMax);
    }
    void Add(const Sample &s) {
        if (s.Present())
            vMin = std::min(vMin, s.v), vMax = std::max(vMax, s.v), iMin = std::min(iMin, s.i),
            iMax = std::max(iMax, s.i);
    }
};

class SampleColumns {
public:
    static constexpr int BlockBits = 4, Block = 1 << BlockBits;
    static constexpr int Levels = 7; // blocks of 16 .. 16^7 samples
    // What a sample costs, all told, for a file's size to be weighed before it is read.
    static constexpr double BytesPerSample =
        sizeof(Sample) + double(sizeof(StretchStats::Sums)) / Block + 16.0 * 16 / 15 / Block;

    void Append(const Sample &s);
    qint64 Size() const { return samples_.size(); }
    const Sample &at(qint64 k) const { return samples_[k]; }
    // The first sample at or after `t` (Size() when none); searching up from `from`, known to be
    // no later, keeps a scan across the view within nearby memory.
    qint64 LowerBound(double t, qint64 from = 0) const;
    // Samples [from, to): extremes of the readings.
    Extremes Range(qint64 from, qint64 to) const;
    // Sums over samples before `x` and segments from a sample before `x` to the next one.
    StretchStats::Sums Cumulative(qint64 x) const;
    // Statistics over samples a..b (either order, both included), as the Data Log computes them.
    StretchStats::Stats Stats(qint64 a, qint64 b) const;
    qint64 Bytes() const;

private:
    Chunked<Sample, 15> samples_;
    Chunked<StretchStats::Sums, 12> sums_; // before sample 16 k, at k
    std::array<Chunked<Extremes, 10>, Levels> levels_;
    StretchStats::Sums running_;
};

} // namespace History
