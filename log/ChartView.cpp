#include "ChartView.h"

#include "ChartSurface.h"
#include "Module1.h"
#include "NameArray.h"

#include <QPainter>

using Module1::nearest;

namespace {

QLabel *AxisLabel(QWidget *parent, const QColor &colour, Qt::Alignment align) {
    auto *label = new QLabel(parent);
    label->setAlignment(align | Qt::AlignVCenter);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

constexpr int Margin = 8;

} // namespace

ChartView::ChartView(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ChartView"));
    Picture1 = new ChartSurface(this);
    for (size_t i = 0; i < Label4.size(); ++i) {
        Label4[i] = AxisLabel(this, QColor(128, 128, 0), Qt::AlignRight);
        Label3[i] = AxisLabel(this, QColor(128, 0, 0), Qt::AlignLeft);
    }
    for (QLabel *&label : Label9)
        label = AxisLabel(this, Qt::black, Qt::AlignHCenter);
    NameArray(Label4, QStringLiteral("Label4"));
    NameArray(Label3, QStringLiteral("Label3"));
    NameArray(Label9, QStringLiteral("Label9"));
}

int ChartView::LabelsWidth() const {
    return fontMetrics().horizontalAdvance(QStringLiteral("-000.0V-00.00A")) + 40;
}

void ChartView::ReadLabels(ChartScale::Scale &s) const {
    for (size_t i = 0; i < 11; ++i) {
        s.volt[i] = Label4[i]->text();
        s.curr[i] = Label3[i]->text();
    }
    for (size_t i = 0; i < 6; ++i)
        s.time[i] = Label9[i]->text();
}

void ChartView::ShowLabels(const ChartScale::Scale &s) {
    for (size_t i = 0; i < 11; ++i) {
        Label4[i]->setText(s.volt[i]);
        Label3[i]->setText(s.curr[i]);
    }
    for (size_t i = 0; i < 6; ++i)
        Label9[i]->setText(s.time[i]);
    if (LabelsOutgrown())
        PlaceChart();
}

bool ChartView::LabelsOutgrown() const {
    const QFontMetrics fm(font());
    const auto outgrown = [&fm](const auto &labels) {
        for (const QLabel *l : labels)
            if (fm.horizontalAdvance(l->text()) + 2 > l->width())
                return true;
        return false;
    };
    return outgrown(Label4) || outgrown(Label3) || outgrown(Label9);
}

void ChartView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    PlaceChart();
}

void ChartView::PlaceChart() {
    const QFontMetrics fm(font());
    const int m = Margin, h = fm.height();
    // Each axis' labels as wide as its widest text, so that "-4500.0V" after zooming out shows.
    const auto widest = [&fm](const auto &labels, const QString &least) {
        int w = fm.horizontalAdvance(least);
        for (const QLabel *l : labels)
            w = std::max(w, fm.horizontalAdvance(l->text()));
        return w + 2;
    };
    const int voltW = widest(Label4, QStringLiteral("-000.0V"));
    const int currW = widest(Label3, QStringLiteral("-00.00A"));
    const int timeW = widest(Label9, QStringLiteral("-00000s"));
    const int left = m + voltW + 8;
    const int right = std::max(width() - m - currW, left + 100);
    const int chartTop = h / 2;
    const int bottom = std::max(height() - m - h - 6, chartTop + 80);
    Picture1->setGeometry(left, chartTop, right - left, bottom - chartTop);

    const int W = Picture1->ScaleWidth(), H = Picture1->ScaleHeight() - 1;
    for (int i = 0; i <= 10; ++i) {
        const int y = chartTop + int(nearest(H - i * H / 10.0)) - h / 2;
        Label4[size_t(i)]->setGeometry(left - 8 - voltW, y, voltW, h);
        Label3[size_t(i)]->setGeometry(right + 8, y, currW, h);
    }
    const int step = int(nearest(W / 10.0));
    for (int i = 0; i < 6; ++i)
        Label9[size_t(i)]->setGeometry(left + 2 * i * step - timeW / 2, bottom + 6, timeW, h);
    update();
}

void ChartView::paintEvent(QPaintEvent *) {
    // Etched ticks at the grid levels beside and under the chart.
    QPainter p(this);
    const QRect c = Picture1->geometry();
    const int W = Picture1->ScaleWidth(), H = Picture1->ScaleHeight() - 1;
    const int step = int(nearest(W / 10.0));
    for (int pass = 0; pass < 2; ++pass) {
        p.setPen(pass == 0 ? palette().color(QPalette::Dark) : palette().color(QPalette::Light));
        for (int i = 0; i <= 10; ++i) {
            const int y = c.top() + int(nearest(H - i * H / 10.0)) + pass;
            p.drawLine(c.left() - 7, y, c.left() - 2, y);
            p.drawLine(c.right() + 2, y, c.right() + 7, y);
            const int x = c.left() + i * step + pass;
            p.drawLine(x, c.bottom() + 2, x, c.bottom() + 5);
        }
    }
}
