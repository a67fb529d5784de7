// Picture1, the chart surface: holds the last drawn chart as an image and paints from it, so a
// repaint without new samples costs one copy.
#pragma once

#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <functional>

class ChartSurface : public QWidget {
    Q_OBJECT
public:
    explicit ChartSurface(QWidget *parent = nullptr);
    int ScaleWidth() const { return width(); }
    int ScaleHeight() const { return height(); }
    // The image to draw the next chart on, at the surface's current size; show it with update().
    QImage &Canvas();
    const QImage &Image() const { return image_; }
    // Marks painted over the image on every repaint (cursors, the readout); the image stays.
    std::function<void(QPainter &)> Overlay;

signals:
    void resized(); // the image no longer fits: draw again
    void left();    // the pointer left the surface
    void mouse(QEvent::Type type, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
               QPoint position);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override { forward(event); }
    void mouseMoveEvent(QMouseEvent *event) override { forward(event); }
    void mouseReleaseEvent(QMouseEvent *event) override { forward(event); }
    void leaveEvent(QEvent *event) override;

private:
    void forward(QMouseEvent *event);
    QImage image_;
};
