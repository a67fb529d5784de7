// The statistics of the chart beside the scale fields: over the stretch between the cursors, or
// the whole time window shown.
#pragma once

#include "ChartReadout.h"

#include <QLabel>
#include <QWidget>

class StatsPanel : public QWidget {
    Q_OBJECT
public:
    explicit StatsPanel(QWidget *parent = nullptr);
    void Show(const ChartReadout::Stats &stats, bool betweenCursors);
    QString PlainText() const { return plain_; } // "Caption: value" a line, for the saved image

private:
    QLabel *captions_ = nullptr, *values_ = nullptr; // plain text: cheap to lay out every tick
    QString plain_;
};
