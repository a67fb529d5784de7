#include "ChartSurface.h"

#include <QPainter>

ChartSurface::ChartSurface(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    setAttribute(Qt::WA_OpaquePaintEvent); // the image covers every pixel
    setFocusPolicy(Qt::ClickFocus);
}

QImage &ChartSurface::Canvas() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (image_.size() != pixels) {
        image_ = QImage(pixels, QImage::Format_RGB32);
        image_.setDevicePixelRatio(ratio);
    }
    return image_;
}

void ChartSurface::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (image_.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(0, 0, image_);
    if (Overlay)
        Overlay(p);
}

void ChartSurface::leaveEvent(QEvent *event) {
    QWidget::leaveEvent(event);
    emit left();
}

void ChartSurface::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    emit resized();
}

void ChartSurface::forward(QMouseEvent *event) {
    // A move reports the buttons held, a press or release the one button.
    const Qt::MouseButtons buttons =
        event->type() == QEvent::MouseMove ? event->buttons() : Qt::MouseButtons(event->button());
    emit mouse(event->type(), buttons, event->modifiers(), event->position().toPoint());
}
