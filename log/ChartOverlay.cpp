#include "ChartOverlay.h"

#include "SampleStore.h"

#include <QFontMetrics>
#include <QPainter>

namespace ChartOverlay {

namespace {

void Line(QPainter &p, const ChartScale::Mapping &m, double x, const QColor &colour,
          const QString &name, qreal scale) {
    if (x < 0 || x > m.W)
        return; // the window moved on: the cursor waits outside it
    p.setPen(QPen(colour, scale, name.isEmpty() ? Qt::DotLine : Qt::SolidLine));
    p.drawLine(QPointF(x, 0), QPointF(x, m.H));
    if (!name.isEmpty()) {
        p.setPen(colour);
        p.drawText(QPointF(x + 3 * scale, p.fontMetrics().ascent() + 2 * scale), name);
    }
}

} // namespace

void Draw(QPainter &p, const ChartScale::Mapping &m, const ChartReadout::Slots &chart,
          const ChartReadout::Cursors &cursors, qreal scale) {
    if (!m.TimeOk() || !chart.store)
        return;
    p.save();
    QFont font = p.font();
    font.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 0.9 * scale : 8 * scale);
    p.setFont(font);
    for (const auto &[slot, colour, name] :
         {std::tuple{cursors.a, CursorA, QStringLiteral("A")}, {cursors.b, CursorB, "B"}})
        if (slot)
            Line(p, m, ChartReadout::XOf(chart, m, *slot), colour, name, scale);
    if (cursors.hover && chart.store->Present(*cursors.hover)) {
        const double x = ChartReadout::XOf(chart, m, *cursors.hover);
        Line(p, m, x, Hover, QString(), scale);
        // The readout beside the line, on the side with room for it.
        const QStringList lines = ChartReadout::Readout(chart, *cursors.hover);
        const QFontMetrics fm = p.fontMetrics();
        int w = 0;
        for (const QString &l : lines)
            w = std::max(w, fm.horizontalAdvance(l));
        const qreal pad = 4 * scale;
        QRectF box(0, pad, w + 2 * pad, lines.size() * fm.height() + 2 * pad);
        box.moveLeft(x + pad + box.width() <= m.W ? x + pad : x - pad - box.width());
        p.fillRect(box, QColor(0, 0, 0, 190));
        p.setPen(QPen(Hover, scale));
        p.drawRect(box);
        const QColor colours[] = {Qt::white, QColor(255, 255, 0), QColor(255, 80, 80), Qt::white};
        for (int i = 0; i < lines.size(); ++i) {
            p.setPen(colours[i]);
            p.drawText(QPointF(box.left() + pad, box.top() + pad + i * fm.height() + fm.ascent()),
                       lines[i]);
        }
    }
    p.restore();
}

} // namespace ChartOverlay
