// The live and the log sample stores: voltage (channel 1) and current (channel 2) by slot
// 1..3600, slot 1 the newest; -1 marks a slot without a sample.
#pragma once

#include <QtGlobal>
#include <array>

class SampleStore {
public:
    static constexpr int Slots = 3600;
    static constexpr float None = -1.0f;

    SampleStore() { Clear(); }
    void Clear(); // every slot without a sample
    // A ring: shifting every sample one slot older only moves the start.
    float at(int channel, int slot) const { return values_[channel - 1][index(slot)]; }
    float &at(int channel, int slot) { return values_[channel - 1][index(slot)]; }
    bool Present(int slot) const { return at(1, slot) != None && at(2, slot) != None; }
    // Shifts the store one slot older (slot 3600 falls off) and puts the pair into slot 1.
    void Push(float volt, float curr);

private:
    int index(int slot) const { return (head_ + slot - 1) % Slots; }
    std::array<std::array<float, Slots>, 2> values_;
    int head_ = 0;
};

extern SampleStore LiveStore; // sampled at SampleMs
extern SampleStore LogStore;  // the log last opened
extern qint64 LogSampleMs;    // its sampling interval
