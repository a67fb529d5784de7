#include "StatsPanel.h"

#include <QHBoxLayout>

StatsPanel::StatsPanel(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatsPanel"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 4, 0, 0);
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * 0.9);
    for (QLabel **label : {&captions_, &values_}) {
        *label = new QLabel(this);
        (*label)->setTextFormat(Qt::PlainText);
        (*label)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        (*label)->setFont(f);
        row->addWidget(*label);
    }
    values_->setTextInteractionFlags(Qt::TextSelectableByMouse); // figures can be copied
    row->addStretch(1);
    // Room for every row and the widest values, so that the panel keeps its size as the
    // figures change.
    const QFontMetrics fm(f);
    // Fixed, so that a new text never asks the side panel to lay itself out again.
    const int height = fm.lineSpacing() * 12;
    values_->setFixedSize(fm.horizontalAdvance(QStringLiteral("3599 segments by gaps")) + 4,
                          height);
    captions_->setFixedSize(fm.horizontalAdvance(QStringLiteral("I min/max")) + 12, height);
}

void StatsPanel::Show(const ChartReadout::Stats &stats, bool betweenCursors) {
    QStringList captions, values, plain;
    for (const auto &[caption, value] : ChartReadout::Rows(stats, betweenCursors)) {
        captions << caption;
        values << value;
        plain << caption + QStringLiteral(": ") + value;
    }
    const QString text = plain.join(u'\n');
    if (text == plain_)
        return; // every tick of the live chart: lay out only on a change
    plain_ = text;
    captions_->setText(captions.join(u'\n'));
    values_->setText(values.join(u'\n'));
}
