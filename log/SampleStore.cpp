#include "SampleStore.h"

SampleStore LiveStore;
SampleStore LogStore;
qint64 LogSampleMs = 2000;

void SampleStore::Clear() {
    for (auto &channel : values_)
        channel.fill(None);
    head_ = 0;
}

void SampleStore::Push(float volt, float curr) {
    head_ = (head_ + Slots - 1) % Slots;
    values_[0][head_] = volt;
    values_[1][head_] = curr;
}
