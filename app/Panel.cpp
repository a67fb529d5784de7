#include "Panel.h"

#include "CounterBox.h"
#include "EventHook.h"
#include "SystemFace.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

const QColor Panel::DarkGrey(0x40, 0x40, 0x40);
const QColor Panel::Red(0xFF, 0, 0);
const QColor Panel::Yellow(0xFF, 0xFF, 0);
const QColor Panel::DarkGreen(0, 0x80, 0);

void Panel::SetTextColor(QWidget *w, const QColor &color) {
    if (w->palette().color(QPalette::WindowText) == color &&
        w->palette().color(QPalette::Text) == color)
        return; // every poll sets the indicators: repaint only on a change
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    w->setPalette(p);
}

void Panel::IndicatorsOff() {
    SetTextColor(Label5[2], DarkGrey);
    SetTextColor(Label5[3], DarkGrey);
}

QColor Panel::TextColor(const QWidget *w) {
    return w->palette().color(QPalette::WindowText);
}

namespace {
QLabel *caption(const QString &text, QWidget *parent) {
    auto *l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: #a0a0a0;"));
    return l;
}
} // namespace

Panel::Panel(TabbedFrm &main, Comm1 &port, Dialogs &dialogs, Clock &clock, QWidget *parent)
    : QFrame(parent), main_(main), comm1_(port), dialogs_(dialogs), clock_(clock) {
    setObjectName(QStringLiteral("Panel"));
    auto *rows = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    rows->addLayout(row);
    GuardLine = new QLabel(this);
    GuardLine->setObjectName(QStringLiteral("GuardLine"));
    GuardLine->setWordWrap(true);
    GuardLine->hide();
    rows->addWidget(GuardLine);

    // Readouts on a dark face, as on the supply itself.
    auto *face = new QFrame(this);
    face->setObjectName(QStringLiteral("Face"));
    face->setStyleSheet(QStringLiteral("#Face { background: #141414; border-radius: 6px; }"));
    auto *grid = new QGridLayout(face);
    QFont digits = SystemFace::Fixed();
    digits.setPointSize(26);
    digits.setBold(true);
    const QStringList designText{"00.0", "0.00", "C.C.", "C.V.", "0.0.0", "0.0.0"};
    for (int i = 0; i < 6; ++i) {
        Label5[i] = new QLabel(designText[i], face);
        Label5[i]->setObjectName(QStringLiteral("Label5_%1").arg(i));
        Label5[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int i : {0, 1}) {
        Label5[i]->setFont(digits);
        Label5[i]->setMinimumWidth(130);
        QSizePolicy keep = Label5[i]->sizePolicy(); // hidden during a reset, place kept
        keep.setRetainSizeWhenHidden(true);
        Label5[i]->setSizePolicy(keep);
    }
    // The countdown " 9. 9. 9." over a readout: a smaller face, and no say in the layout, so the
    // panel keeps its geometry while it shows.
    QFont count = digits;
    count.setPointSize(13);
    for (int i : {4, 5}) {
        Label5[i]->setFont(count);
        Label5[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    }
    SetTextColor(Label5[0], QColor(0x7c, 0xfc, 0x00));
    SetTextColor(Label5[1], QColor(0x7c, 0xfc, 0x00));
    SetTextColor(Label5[4], QColor(0xff, 0xa0, 0x40));
    SetTextColor(Label5[5], QColor(0xff, 0xa0, 0x40));
    QFont small = font();
    small.setBold(true);
    Label5[2]->setFont(small);
    Label5[3]->setFont(small);
    grid->addWidget(caption(QStringLiteral("Voltage"), face), 0, 0, 1, 2);
    grid->addWidget(caption(QStringLiteral("Current"), face), 0, 2, 1, 2);
    grid->addWidget(Label5[0], 1, 0);
    grid->addWidget(Label5[4], 1, 0); // overlay, shown only during a reset
    grid->addWidget(caption(QStringLiteral("V"), face), 1, 1);
    grid->addWidget(Label5[1], 1, 2);
    grid->addWidget(Label5[5], 1, 2);
    grid->addWidget(caption(QStringLiteral("A"), face), 1, 3);
    grid->addWidget(Label5[3], 2, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(Label5[2], 2, 2, 1, 2, Qt::AlignLeft);
    row->addWidget(face);

    auto *setpoints = new QGridLayout;
    for (int i = 0; i < 2; ++i) {
        Text2[i] = new QLineEdit(this);
        Text2[i]->setObjectName(QStringLiteral("Text2_%1").arg(i));
        Text2[i]->setFixedWidth(100);
    }
    setpoints->addWidget(new QLabel(QStringLiteral("Set voltage:"), this), 0, 0);
    setpoints->addWidget(Text2[0], 0, 1);
    setpoints->addWidget(new QLabel(QStringLiteral("Set current:"), this), 1, 0);
    setpoints->addWidget(Text2[1], 1, 1);
    setpoints->setRowStretch(2, 1);
    row->addLayout(setpoints);

    auto *buttons = new QVBoxLayout;
    const QStringList captions{"Set", "Reset", "Options"};
    for (int i = 0; i < 3; ++i) {
        Command4[i] = new QPushButton(captions[i], this);
        Command4[i]->setObjectName(QStringLiteral("Command4_%1").arg(i));
        Command4[i]->setMinimumWidth(100);
        buttons->addWidget(Command4[i]);
    }
    GuardsButton = new QPushButton(QStringLiteral("Guards..."), this);
    GuardsButton->setObjectName(QStringLiteral("GuardsButton"));
    GuardsButton->setMinimumWidth(100);
    buttons->addWidget(GuardsButton);
    buttons->addStretch();
    row->addLayout(buttons);

    Picture0 = new QLabel(this);
    Picture0->setObjectName(QStringLiteral("Picture0"));
    Picture0->setFocusPolicy(Qt::StrongFocus);
    Picture0->setAlignment(Qt::AlignCenter);
    Picture0->setWordWrap(true);
    Picture0->setFixedWidth(150);
    Picture0->setFrameShape(QFrame::StyledPanel);
    Counters = new CounterBox(this);
    row->addWidget(Counters);
    row->addStretch(1);
    auto *status = new QVBoxLayout;
    status->addWidget(Picture0, 1);
    RemoteLabel = new QLabel(this);
    RemoteLabel->setObjectName(QStringLiteral("RemoteLabel"));
    RemoteLabel->setAlignment(Qt::AlignCenter);
    RemoteLabel->setWordWrap(true); // "Remote: port 5025," above "1 script" in the status column
    RemoteLabel->setFixedWidth(150);
    RemoteLabel->hide();
    status->addWidget(RemoteLabel);
    row->addLayout(status);

    for (int i = 0; i < 3; ++i)
        connect(Command4[i], &QPushButton::clicked, this, [this, i] { Command4_Click(i); });
    for (QLineEdit *box : Text2) {
        new EventHook(box, [this](QObject *o, QEvent *e) { return SetpointEvent(o, e); });
        connect(box, &QLineEdit::textChanged, this, &Panel::CheckSetpoints);
    }
    CheckSetpoints();
}

void Panel::ShowGuards(const QString &line) {
    GuardLine->setText(line);
    GuardLine->setVisible(!line.isEmpty());
    // What acted stands out from what is only watched.
    GuardLine->setStyleSheet(line.startsWith(QLatin1String("Tripped"))
                                 ? QStringLiteral("color: #c00000; font-weight: bold;")
                             : line.startsWith(QLatin1String("Done"))
                                 ? QStringLiteral("color: #006000; font-weight: bold;")
                                 : QString());
}

void Panel::ShowRemote(const QString &status) {
    RemoteLabel->setText(status);
    RemoteLabel->setVisible(!status.isEmpty());
}
