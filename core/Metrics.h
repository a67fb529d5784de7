// The supply's state as a monitoring system scrapes it: the Prometheus text format (0.0.4) or
// OpenMetrics 1.0, by Prometheus's naming conventions (prefix qvr_, base units, _total for
// counters, _info for metadata). A value QVR does not have is left out, never given as 0 or -1.
#pragma once

#include "GuardKeeper.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace Metrics {

struct Snapshot {
    QString version, port, bench; // for qvr_info
    bool linkUp = false;
    std::optional<double> volts, amps;          // the last poll's reading
    std::optional<bool> constantCurrent;        // the mode it told
    std::optional<double> setVolts, setAmps;    // the setpoints last sent
    std::optional<double> maxVolts, maxAmps;    // the supply's limits, once known
    quint64 polls = 0, pollFailures = 0, linkLosses = 0;
    double coulombs = 0, joules = 0;            // delivered, never decreasing
    QString running;                            // "internal", "external", "preset" or empty
    std::optional<int> step;                    // the external program's step
    bool recording = false;
    std::optional<qint64> recordingBytes;
    Guards::State guard = Guards::State::Off;
};

enum class Format { Text, OpenMetrics };
// OpenMetrics when the scraper's Accept header asks for it, else the text format.
Format Negotiate(const QByteArray &accept);
QByteArray ContentType(Format f);
QByteArray Exposition(const Snapshot &s, Format f);

} // namespace Metrics
