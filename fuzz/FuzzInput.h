// Splits a fuzzer's bytes into the small pieces a target needs.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size)
        : bytes_(reinterpret_cast<const char *>(data), int(size)) {}
    // One byte, 0 when none is left.
    uint8_t byte() { return pos_ < bytes_.size() ? uint8_t(bytes_[pos_++]) : 0; }
    // Up to `max` bytes, as many as the next byte says.
    QByteArray chunk(int max = 64) {
        const int n = std::min<int>(byte() % (max + 1), int(bytes_.size()) - pos_);
        const QByteArray out = bytes_.mid(pos_, n);
        pos_ += n;
        return out;
    }
    // Text as an operator or a stored table could hold it (any UTF-8, any Latin-1).
    QString text(int max = 64) {
        const QByteArray c = chunk(max);
        return (c.size() % 2) ? QString::fromLatin1(c) : QString::fromUtf8(c);
    }

private:
    QByteArray bytes_;
    int pos_ = 0;
};
