#include "StatsPanel.h"

StatsPanel::StatsPanel(QWidget *parent) : QLabel(parent) {
    setObjectName(QStringLiteral("StatsPanel"));
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::TextSelectableByMouse); // figures can be copied
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * 0.9);
    setFont(f);
    // Room for every row and the widest values, so that the panel keeps its size as the
    // figures change.
    const QFontMetrics fm(f);
    setMinimumHeight(fm.lineSpacing() * 12);
    int w = 0;
    for (const char *widest :
         {"V min/max    -000.00 / -000.00 V", "Left out    3599 segments at gaps",
          "\u0394V, \u0394I    -00.00 V, -0.000 A"})
        w = std::max(w, fm.horizontalAdvance(QString::fromUtf8(widest)));
    setMinimumWidth(w + 8);
}

void StatsPanel::Show(const ChartReadout::Stats &stats, bool betweenCursors) {
    QString html = QStringLiteral("<table cellspacing=0 cellpadding=1>");
    QStringList plain;
    for (const auto &[caption, value] : ChartReadout::Rows(stats, betweenCursors)) {
        html += QStringLiteral("<tr><td>%1&nbsp;&nbsp;</td><td>%2</td></tr>")
                    .arg(caption.toHtmlEscaped(), value.toHtmlEscaped());
        plain << caption + QStringLiteral(": ") + value;
    }
    plain_ = plain.join(u'\n');
    setText(html + QStringLiteral("</table>"));
}
