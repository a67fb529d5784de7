#include "HistoryChart.h"

#include "ChartDraw.h"
#include "ChartReadout.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace History {

namespace {
constexpr double DragPx = 4;  // a press that moves less is a click
constexpr double EventPx = 4; // how near an event mark the pointer shows its text
} // namespace

HistoryChart::HistoryChart(const RecordedRun &run, QWidget *parent) : QWidget(parent), run_(run) {
    setObjectName(QStringLiteral("HistoryChart"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(360, 220);
    setAttribute(Qt::WA_OpaquePaintEvent);
    ShowWhole();
}

double HistoryChart::end() const {
    return std::max(run_.EndT(), MinSpan);
}

Plot HistoryChart::plot() const {
    return {TraceArea(rect(), fontMetrics()), t0_, t1_};
}

void HistoryChart::SetView(double t0, double t1) {
    const double whole = end();
    double span = std::clamp(t1 - t0, MinSpan, whole);
    t0 = std::clamp(t0, 0.0, whole - span);
    if (t0 == t0_ && t0 + span == t1_)
        return;
    t0_ = t0, t1_ = t0 + span;
    endSeen_ = run_.EndT();
    update();
    emit ViewChanged();
}

void HistoryChart::ShowWhole() {
    SetView(0, end());
}

void HistoryChart::ZoomAround(double t, double factor) {
    SetView(t - (t - t0_) * factor, t + (t1_ - t) * factor);
}

void HistoryChart::SetFixedScales(bool fixed) {
    fixed_ = fixed;
    update();
}

void HistoryChart::RunGrew() {
    const double was = endSeen_;
    endSeen_ = run_.EndT();
    if (t1_ >= was - 1e-9) {
        // The end was in view: keep it there, with the span shown (the whole run stays whole).
        const double span = t0_ <= 0 ? end() : t1_ - t0_;
        t0_ = -1; // force SetView to act
        SetView(end() - span, end());
    }
    update();
}

void HistoryChart::SetCursors(std::optional<qint64> a, std::optional<qint64> b) {
    a_ = a, b_ = b;
    update();
    emit CursorsChanged();
}

std::pair<double, double> HistoryChart::Stretch() const {
    const SampleColumns &s = run_.Samples();
    if (a_ && b_)
        return std::minmax(s.at(*a_).t, s.at(*b_).t);
    return {t0_, t1_};
}

StretchStats::Stats HistoryChart::Stats() const {
    const SampleColumns &s = run_.Samples();
    if (a_ && b_) {
        StretchStats::Stats out = s.Stats(*a_, *b_);
        const Sample &from = s.at(*a_), &to = s.at(*b_);
        if (from.Present() && to.Present())
            out.dV = double(to.v) - from.v, out.dI = double(to.i) - from.i;
        return out;
    }
    return s.Stats(s.LowerBound(t0_), s.LowerBound(t1_) - 1);
}

Scene HistoryChart::SceneNow() const {
    Scene scene;
    scene.run = &run_;
    scene.t0 = t0_, scene.t1 = t1_;
    const SampleColumns &s = run_.Samples();
    scene.scales = Fit(fixed_ ? s.Range(0, s.Size()) : s.Range(s.LowerBound(t0_), s.LowerBound(t1_)));
    scene.a = a_, scene.b = b_, scene.hover = hover_, scene.pointerT = pointerT_;
    scene.event = event_;
    scene.selection = selection_;
    return scene;
}

std::optional<qint64> HistoryChart::SampleAt(double x) const {
    const Plot pl = plot();
    const SampleColumns &s = run_.Samples();
    const double t = pl.T(x);
    std::optional<qint64> best;
    double bestPx = ChartReadout::SearchPx;
    const qint64 k = s.LowerBound(t);
    // A gap marker holds no reading: look past it on either side.
    for (qint64 j = std::max<qint64>(0, k - 2); j < std::min(s.Size(), k + 2); ++j)
        if (const double px = std::abs(pl.X(s.at(j).t) - x); s.at(j).Present() && px <= bestPx)
            best = j, bestPx = px;
    return best;
}

void HistoryChart::paintEvent(QPaintEvent *) {
    QPainter p(this);
    Draw(p, rect(), SceneNow());
}

void HistoryChart::wheelEvent(QWheelEvent *e) {
    const double notches = e->angleDelta().y() / 120.0;
    if (notches == 0)
        return;
    ZoomAround(plot().T(e->position().x()), std::pow(WheelStep, -notches));
    hoverAt(e->position());
    e->accept();
}

void HistoryChart::mousePressEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton)
        return;
    pressAt_ = e->position();
    pressT0_ = t0_, pressT1_ = t1_;
    dragging_ = false;
    selecting_ = e->modifiers() & Qt::ShiftModifier;
}

void HistoryChart::mouseMoveEvent(QMouseEvent *e) {
    if (pressAt_ && (e->buttons() & Qt::LeftButton)) {
        const double dx = e->position().x() - pressAt_->x();
        if (std::abs(dx) >= DragPx)
            dragging_ = true;
        if (dragging_ && selecting_) {
            const Plot pl = plot();
            selection_ = std::make_pair(pl.T(pressAt_->x()), pl.T(e->position().x()));
            update();
        } else if (dragging_) {
            const double dt = dx / plot().area.width() * (pressT1_ - pressT0_);
            SetView(pressT0_ - dt, pressT1_ - dt);
        }
    }
    hoverAt(e->position());
}

void HistoryChart::mouseReleaseEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton || !pressAt_)
        return;
    if (!dragging_) {
        // A click: cursor A, then B, then A again without B.
        if (const auto k = SampleAt(e->position().x())) {
            if (!a_ || b_)
                SetCursors(k, std::nullopt);
            else
                SetCursors(a_, k);
        }
    } else if (selection_) {
        const auto [from, to] = std::minmax(selection_->first, selection_->second);
        selection_.reset();
        SetView(from, to);
    }
    pressAt_.reset();
    dragging_ = selecting_ = false;
    update();
}

void HistoryChart::keyPressEvent(QKeyEvent *e) {
    const double span = t1_ - t0_, centre = (t0_ + t1_) / 2;
    switch (e->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAround(centre, 1 / WheelStep);
        break;
    case Qt::Key_Minus:
        ZoomAround(centre, WheelStep);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // A tenth of the view a press, a whole view with Shift.
        const double by = (e->modifiers() & Qt::ShiftModifier ? 1 : 0.1) * span;
        const double dir = e->key() == Qt::Key_Left ? -1 : 1;
        SetView(t0_ + dir * by, t1_ + dir * by);
        break;
    }
    case Qt::Key_Home:
        ShowWhole();
        break;
    case Qt::Key_End:
        SetView(end() - span, end());
        break;
    case Qt::Key_Escape:
        selection_.reset();
        pressAt_.reset();
        SetCursors(std::nullopt, std::nullopt);
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    e->accept();
}

void HistoryChart::leaveEvent(QEvent *) {
    hover_.reset(), pointerT_.reset(), event_.reset();
    update();
}

void HistoryChart::hoverAt(QPointF pos) {
    const Plot pl = plot();
    if (!pl.area.adjusted(0, 0, 0, 10).contains(pos.toPoint())) {
        leaveEvent(nullptr);
        return;
    }
    hover_ = SampleAt(pos.x());
    pointerT_ = pl.T(pos.x());
    event_.reset();
    const auto &events = run_.Events();
    const auto nearest = std::lower_bound(events.begin(), events.end(), pl.T(pos.x() - EventPx),
                                          [](const Event &ev, double t) { return ev.t < t; });
    if (nearest != events.end() && std::abs(pl.X(nearest->t) - pos.x()) <= EventPx)
        event_ = size_t(nearest - events.begin());
    update();
}

HistoryOverview::HistoryOverview(const RecordedRun &run, HistoryChart &chart, QWidget *parent)
    : QWidget(parent), run_(run), chart_(chart) {
    setObjectName(QStringLiteral("HistoryOverview"));
    setMinimumHeight(50);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&chart, &HistoryChart::ViewChanged, this, qOverload<>(&QWidget::update));
}

void HistoryOverview::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    // Lined up with the chart's time axis above it.
    const QRect above = TraceArea(chart_.rect(), chart_.fontMetrics());
    const QRect area(above.left(), 3, above.width(), height() - 6);
    const SampleColumns &s = run_.Samples();
    const double end = std::max(run_.EndT(), HistoryChart::MinSpan);
    Traces(p, area, s, 0, end, Fit(s.Range(0, s.Size())));
    const Plot pl{area, 0, end};
    const QRectF shown(QPointF(pl.X(chart_.T0()), area.top()),
                       QPointF(std::max(pl.X(chart_.T1()), pl.X(chart_.T0()) + 2), area.bottom()));
    p.fillRect(shown, QColor(255, 255, 255, 45));
    p.setPen(QPen(ChartDraw::Grid, 1));
    p.drawRect(QRectF(area).adjusted(-0.5, -0.5, 0.5, 0.5));
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(shown);
}

void HistoryOverview::centreAt(QMouseEvent *e) {
    if (!(e->buttons() & Qt::LeftButton))
        return;
    const QRect above = TraceArea(chart_.rect(), chart_.fontMetrics());
    const Plot pl{QRect(above.left(), 0, above.width(), height()), 0,
                  std::max(run_.EndT(), HistoryChart::MinSpan)};
    const double t = pl.T(e->position().x()), half = (chart_.T1() - chart_.T0()) / 2;
    chart_.SetView(t - half, t + half);
}

} // namespace History
