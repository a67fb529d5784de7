#include "CounterBox.h"

#include "ChartReadout.h"
#include "Protocol.h"

#include <algorithm>

#include <QGridLayout>

CounterBox::CounterBox(QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("CounterBox"));
    setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    Figures = new QLabel(this);
    Figures->setObjectName(QStringLiteral("CounterFigures"));
    Figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    Figures->setFont(small);
    // Fixed, so that new figures never ask the panel to lay itself out again: wide enough for a
    // week at the largest limits a supply can report.
    const QFontMetrics fm(small);
    const double week = 7 * 24 * 3600.0;
    int width = 0;
    for (const QString &line :
         FiguresText(Protocol::MaxCurrField * week / 3600,
              Protocol::MaxVoltField * Protocol::MaxCurrField * week / 3600, week, week)
             .split(u'\n'))
        width = std::max(width, fm.horizontalAdvance(line));
    Figures->setFixedSize(width + 4, fm.lineSpacing() * 4 + 2);
    Figures->setToolTip(QStringLiteral("Charge and energy delivered since Zero, from every "
                                       "reading of the output"));
    ZeroButton = new QPushButton(QStringLiteral("Zero"), this);
    ZeroButton->setFont(small);
    ZeroButton->setObjectName(QStringLiteral("ZeroCounters"));
    ZeroButton->setToolTip(QStringLiteral("Start the charge and energy counters again"));
    grid->addWidget(Figures, 0, 0);
    grid->addWidget(ZeroButton, 1, 0, Qt::AlignLeft);
    grid->setVerticalSpacing(2);
    connect(ZeroButton, &QPushButton::clicked, this, &CounterBox::ZeroButton_Click);
    ShowFigures();
}

void CounterBox::Take(qint64 nowMs, double volt, double curr) {
    Meter.Reading(nowMs, volt, curr);
    // Every poll counts; the figures are shown once a second, which is what an eye can follow.
    if (nowMs - shownMs_ >= 1000 || nowMs < shownMs_) {
        shownMs_ = nowMs;
        ShowFigures();
    }
}

void CounterBox::ZeroButton_Click() {
    Meter.Zero();
    ShowFigures();
}

QString CounterBox::FiguresText(double ah, double wh, double coveredS, double blindS) {
    using namespace ChartReadout;
    QString text = QStringLiteral("Charge  %1\nEnergy  %2\nOver  %3")
                       .arg(ChargeText(ah), EnergyText(wh), DurationText(coveredS));
    if (blindS > 0)
        text += QStringLiteral("\nBlind  %1").arg(DurationText(blindS));
    return text;
}

void CounterBox::ShowFigures() {
    const QString text =
        FiguresText(Meter.Ah(), Meter.Wh(), Meter.CoveredMs() / 1000.0, Meter.BlindMs() / 1000.0);
    if (Figures->text() != text) // every poll: repaint only on a change
        Figures->setText(text);
}
