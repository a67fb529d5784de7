// The printed page of the chart: header lines, then the chart with its scale texts, laid out
// from the chart's own mapping on any painter (a printer, a PDF file, an image).
#pragma once

#include "ChartScale.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

class QPainter;
class SampleStore;

namespace LogPrint {

struct Page {
    QString description; // "DESCRIPTION:" ...
    QString samplesTime; // "Samples time: 2s"
    QString time;        // "Time:   " + date and time
    ChartScale::Scale scale;
    const SampleStore *store = nullptr;
    qint64 intervalMs = 2000; // of the store
    double offsetHalfS = 0;   // of the time window, as on screen
    bool normalise = false;   // read the labels as the screen's live chart does
    // Drawn over the traces in the chart's own units (0..W, 0..H), and lines under the chart.
    std::function<void(QPainter &, const ChartScale::Mapping &)> overlay = {};
    QStringList caption = {};
};

// "Samples time: 0.5s" at 500 ms, else the interval in seconds.
QString SamplesTime(qint64 intervalMs);

// Draws the page into `area` (device units of the painter).
void Draw(QPainter &p, const QRect &area, const Page &page);

} // namespace LogPrint
