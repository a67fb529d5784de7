// The chart with its axes: the surface that shows the drawn chart, the voltage, current and time
// labels around it (which hold the scale), and the etched ticks at the grid levels.
#pragma once

#include "ChartScale.h"

#include <QLabel>
#include <QWidget>
#include <array>

class ChartSurface;

class ChartView : public QWidget {
    Q_OBJECT
public:
    explicit ChartView(QWidget *parent = nullptr);

    ChartSurface *Picture1 = nullptr;
    std::array<QLabel *, 11> Label4{}; // voltage at grid line i, bottom to top
    std::array<QLabel *, 11> Label3{}; // current at grid line i
    std::array<QLabel *, 6> Label9{};  // time at every second vertical grid line

    // The labels' half of the scale, and back; the chart is placed again when a text outgrew
    // its label.
    void ReadLabels(ChartScale::Scale &scale) const;
    void ShowLabels(const ChartScale::Scale &scale);
    int LabelsWidth() const; // both value axes' labels with their gaps, at the least

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void PlaceChart();
    bool LabelsOutgrown() const; // a label's text is wider than the label
};
