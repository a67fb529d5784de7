#include "ScalePanel.h"

#include "NameArray.h"
#include "PickBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>

using namespace ChartScale;

namespace {

// The key codes the scale fields act on, as the operator documentation numbers them.
int KeyCode(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return KeyEnter;
    case Qt::Key_Left:
        return KeyLeft;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return KeyRight;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Percent:    // 37 and 39, the codes of Left and Right: a typed character is
    case Qt::Key_Apostrophe: // never taken for an arrow key
    case Qt::Key_Ampersand:
    case Qt::Key_ParenLeft:
        return 0;
    default:
        return qtKey < 128 ? qtKey : 0;
    }
}

} // namespace

ScalePanel::ScalePanel(QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ScalePanel"));
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Sunken); // etched
    grid_ = new QGridLayout(this);
    Option3[0] = new QRadioButton(QStringLiteral("     Now"), this);
    Option3[1] = new QRadioButton(QStringLiteral("     Log"), this);
    NameArray(Option3, QStringLiteral("Option3"));
    Option3[0]->setChecked(true);
    Option3[1]->setEnabled(false); // until a log has been opened
    for (int i = 0; i < 2; ++i)
        connect(Option3[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                emit choiceClicked(i);
        });
    auto *lightSlot = new QWidget(this); // keeps its place while the light blinks
    lightSlot->setFixedSize(14, 14);
    Light1 = new QLabel(lightSlot);
    Light1->setObjectName(QStringLiteral("Light1"));
    Light1->setFixedSize(14, 14);
    Light1->setStyleSheet(QStringLiteral("background: #20c020; border-radius: 7px;"));
    Light1->setToolTip(QStringLiteral("Recording live"));
    Light1->installEventFilter(this);
    Light1->hide();
    auto *choice = new QHBoxLayout;
    choice->addWidget(lightSlot);
    choice->addWidget(Option3[0]);
    choice->addWidget(Option3[1]);
    choice->addStretch();
    grid_->addLayout(choice, 0, 0, 1, 2);

    const QStringList captions{"Log name:", "V/div", "VMin", "I/div", "IMin", "T/div", "TMin"};
    for (int i = 0; i < FieldCount; ++i) {
        auto *box = new QComboBox(this);
        PickOnly(box); // typed values stay as typed
        box->setMinimumWidth(i == LogName ? 150 : 90);
        // Keys reach the box, which hands them to its line edit; tests may send either.
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
        connect(box, &QComboBox::activated, this, [this, i] { emit picked(i); });
        Combo3[size_t(i)] = box;
        auto *caption = new QLabel(captions[i], this);
        if (i == LogName) {
            grid_->addWidget(caption, 1, 0, 1, 2);
            grid_->addWidget(box, 2, 0, 1, 2);
        } else {
            grid_->addWidget(caption, i + 2, 0);
            grid_->addWidget(box, i + 2, 1);
        }
    }
    NameArray(Combo3, QStringLiteral("Combo3"));
    connect(Combo3[LogName], &QComboBox::editTextChanged, this, &ScalePanel::nameChanged);
}

void ScalePanel::AddBelow(QWidget *part) {
    grid_->addWidget(part, grid_->rowCount(), 0, 1, 2);
}

bool ScalePanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Light1 && event->type() == QEvent::MouseButtonRelease) {
        emit lightClicked();
        return true;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QFrame::eventFilter(watched, event);
    for (int i = 0; i < FieldCount; ++i) {
        if (watched != Combo3[size_t(i)] && watched != Combo3[size_t(i)]->lineEdit())
            continue;
        auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (event->type() == QEvent::KeyPress)
            return enter; // Enter is the field's own: no list entry is matched or added
        if (!key->isAutoRepeat())
            emit keyUp(i, KeyCode(key->key()));
        return enter;
    }
    return QFrame::eventFilter(watched, event);
}
