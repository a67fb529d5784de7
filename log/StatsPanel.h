// The statistics of the chart beside the scale fields: over the stretch between the cursors, or
// the whole time window shown.
#pragma once

#include "ChartReadout.h"

#include <QLabel>

class StatsPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatsPanel(QWidget *parent = nullptr);
    void Show(const ChartReadout::Stats &stats, bool betweenCursors);
    QString PlainText() const { return plain_; } // the rows, one a line, for the saved image

private:
    QString plain_;
};
