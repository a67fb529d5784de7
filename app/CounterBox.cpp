#include "CounterBox.h"

#include "ChartReadout.h"

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
    // Fixed, so that new figures never ask the panel to lay itself out again.
    const QFontMetrics fm(small);
    Figures->setFixedSize(fm.horizontalAdvance(QStringLiteral("Energy  999.9 mWh")) + 4,
                          fm.lineSpacing() * 4 + 2);
    Figures->setToolTip(QStringLiteral("Charge and energy delivered since Zero, from every "
                                       "reading of the output"));
    ZeroButton = new QPushButton(QStringLiteral("Zero"), this);
    ZeroButton->setFont(small);
    ZeroButton->setObjectName(QStringLiteral("ZeroCounters"));
    ZeroButton->setToolTip(QStringLiteral("Start the charge and energy counters again"));
    grid->addWidget(Figures, 0, 0);
    grid->addWidget(ZeroButton, 1, 0, Qt::AlignLeft);
    grid->setVerticalSpacing(2);
    connect(ZeroButton, &QPushButton::clicked, this, &CounterBox::Zero);
    ShowFigures();
}

void CounterBox::Reading(qint64 nowMs, double volt, double curr) {
    Meter.Reading(nowMs, volt, curr);
    // Every poll counts; the figures are shown once a second, which is what an eye can follow.
    if (nowMs - shownMs_ >= 1000 || nowMs < shownMs_) {
        shownMs_ = nowMs;
        ShowFigures();
    }
}

void CounterBox::Zero() {
    Meter.Zero();
    ShowFigures();
}

void CounterBox::ShowFigures() {
    using namespace ChartReadout;
    QString text = QStringLiteral("Charge  %1\nEnergy  %2\nOver  %3")
                       .arg(ChargeText(Meter.Ah()), EnergyText(Meter.Wh()),
                            DurationText(Meter.CoveredMs() / 1000.0));
    if (Meter.BlindMs() > 0)
        text += QStringLiteral("\nBlind  %1").arg(DurationText(Meter.BlindMs() / 1000.0));
    if (Figures->text() != text) // every poll: repaint only on a change
        Figures->setText(text);
}
