// A recording's chart on the screen: the wheel zooms time around the pointer, dragging moves it,
// a rectangle dragged with Shift zooms to it, a click puts cursor A, then B; the keyboard has
// + - arrows Home and Escape. The overview strip beneath shows the whole run with the visible
// part marked, and moves the view where it is clicked or dragged.
#pragma once

#include "HistoryDraw.h"

#include <QWidget>

namespace History {

class HistoryChart : public QWidget {
    Q_OBJECT
public:
    explicit HistoryChart(const RecordedRun &run, QWidget *parent = nullptr);

    double T0() const { return t0_; }
    double T1() const { return t1_; }
    void SetView(double t0, double t1); // kept inside the run, at least MinSpan wide
    void ShowWhole();
    void ZoomAround(double t, double factor); // factor > 1 zooms out
    void SetFixedScales(bool fixed);
    bool FixedScales() const { return fixed_; }
    // The file grew (or was read anew): a view showing the end follows it.
    void RunGrew();

    std::optional<qint64> CursorA() const { return a_; }
    std::optional<qint64> CursorB() const { return b_; }
    void SetCursors(std::optional<qint64> a, std::optional<qint64> b);
    // The stretch the statistics and the saved stretch cover: between the cursors, or the view.
    std::pair<double, double> Stretch() const;
    StretchStats::Stats Stats() const;
    bool BetweenCursors() const { return a_ && b_; }
    Scene SceneNow() const;
    // The sample nearest surface column `x`, within a few pixels.
    std::optional<qint64> SampleAt(double x) const;

    static constexpr double MinSpan = 1.0; // seconds: two samples at the fastest interval
    static constexpr double WheelStep = 1.5;

signals:
    void ViewChanged();
    void CursorsChanged();

protected:
    void paintEvent(QPaintEvent *) override;
    void wheelEvent(QWheelEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void leaveEvent(QEvent *e) override;

private:
    Plot plot() const;
    double end() const;
    void hoverAt(QPointF pos);

    const RecordedRun &run_;
    double t0_ = 0, t1_ = 1, endSeen_ = 0;
    bool fixed_ = false;
    std::optional<qint64> a_, b_, hover_;
    std::optional<double> pointerT_;
    std::optional<size_t> event_;
    // A press: where, the view then, and whether it became a drag.
    std::optional<QPointF> pressAt_;
    double pressT0_ = 0, pressT1_ = 0;
    bool dragging_ = false, selecting_ = false;
    std::optional<std::pair<double, double>> selection_;
};

class HistoryOverview : public QWidget {
    Q_OBJECT
public:
    HistoryOverview(const RecordedRun &run, HistoryChart &chart, QWidget *parent = nullptr);
    QSize sizeHint() const override { return {600, 70}; }

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override { centreAt(e); }
    void mouseMoveEvent(QMouseEvent *e) override { centreAt(e); }

private:
    void centreAt(QMouseEvent *e);
    const RecordedRun &run_;
    HistoryChart &chart_;
};

} // namespace History
