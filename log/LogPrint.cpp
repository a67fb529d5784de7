#include "LogPrint.h"

#include "ChartDraw.h"
#include "Module1.h"

#include <QPainter>

using namespace ChartScale;

namespace LogPrint {

QString SamplesTime(qint64 intervalMs) {
    if (intervalMs == 500)
        return QStringLiteral("Samples time: 0.5s");
    return QStringLiteral("Samples time: ") + Module1::NumStr(intervalMs / 1000.0) + u's';
}

void Draw(QPainter &p, const QRect &area, const Page &page) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(std::max(8, area.height() / 70));
    p.setFont(font);
    const QFontMetrics fm(font, p.device());
    const int line = fm.height();
    const int x0 = area.left();
    int y = area.top() + fm.ascent();
    p.setPen(Qt::black);
    p.drawText(x0, y, page.description);
    y += line;
    p.drawText(x0, y, page.samplesTime);
    y += 2 * line;

    // The chart as on screen: five parts wide to four high, scale texts on three sides.
    const int labelW = fm.horizontalAdvance(QStringLiteral("-000.00V")) + line / 2;
    QRect chart(x0 + labelW, 0, area.width() - 2 * labelW, 0);
    chart.setHeight(std::min(chart.width() * 4125 / 5175,
                             area.bottom() - y - (4 + int(page.caption.size())) * line));
    p.drawText(x0, y, QStringLiteral("Voltage"));
    p.drawText(chart.right() + line / 2, y, QStringLiteral("Current"));
    y += line;
    p.drawText(x0, y, page.time);
    chart.moveTop(y + line);

    const Mapping m =
        ReadMapping(page.scale, chart.width(), chart.height(), page.offsetHalfS, page.normalise);
    const int half = fm.ascent() / 2;
    for (int i = 0; i <= 10; ++i) {
        const int gy = chart.top() + int(Module1::nearest(m.H - i * m.H / 10.0));
        const QString &volt = page.scale.volt[size_t(i)];
        p.setPen(QColor(128, 128, 0));
        p.drawText(chart.left() - line / 4 - fm.horizontalAdvance(volt), gy + half, volt);
        p.setPen(QColor(128, 0, 0));
        p.drawText(chart.right() + line / 4, gy + half, page.scale.curr[size_t(i)]);
    }
    p.setPen(Qt::black);
    const int step = int(Module1::nearest(m.W / 10.0));
    for (int i = 0; i < 6; ++i) {
        const QString &time = page.scale.time[size_t(i)];
        p.drawText(chart.left() + 2 * i * step - fm.horizontalAdvance(time) / 2,
                   chart.bottom() + line, time);
    }

    p.save();
    p.translate(chart.topLeft());
    p.setClipRect(QRect(0, 0, m.W + 1, m.H + 1));
    const qreal pen = std::max(1, area.width() / 1500);
    ChartDraw::Frame(p, m, {Qt::white, QColor(128, 128, 128), pen});
    if (page.store)
        ChartDraw::Traces(p, m, *page.store, page.intervalMs, QColor(128, 128, 0),
                          QColor(255, 0, 0), pen);
    if (page.overlay)
        page.overlay(p, m);
    p.restore();
    p.setPen(QPen(Qt::black, pen));
    p.drawRect(chart.adjusted(0, 0, -1, -1));
    y = chart.bottom() + 3 * line;
    for (const QString &text : page.caption) {
        p.drawText(x0, y, text);
        y += line;
    }
}

} // namespace LogPrint
