#include "DataLogPage.h"

#include "ChartDraw.h"
#include "ChartSurface.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Module1.h"
#include "NameArray.h"
#include "PickBox.h"
#include "SampleStore.h"
#include "Timeline.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTabWidget>

using namespace Module1;
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

QLabel *AxisLabel(QWidget *parent, const QColor &colour, Qt::Alignment align) {
    auto *label = new QLabel(parent);
    label->setAlignment(align | Qt::AlignVCenter);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

} // namespace

DataLogPage::DataLogPage(Database &db, Dialogs &dialogs, Clock &clock, QWidget *parent)
    : QWidget(parent), db_(db), dialogs_(dialogs), clock_(clock) {
    setObjectName(QStringLiteral("DataLogPage"));
    Picture1 = new ChartSurface(this);
    connect(Picture1, &ChartSurface::resized, this, &DataLogPage::RedrawByMode);
    for (size_t i = 0; i < Label4.size(); ++i) {
        Label4[i] = AxisLabel(this, QColor(128, 128, 0), Qt::AlignRight);
        Label3[i] = AxisLabel(this, QColor(128, 0, 0), Qt::AlignLeft);
    }
    for (QLabel *&label : Label9)
        label = AxisLabel(this, Qt::black, Qt::AlignHCenter);
    NameArray(Label4, QStringLiteral("Label4"));
    NameArray(Label3, QStringLiteral("Label3"));
    NameArray(Label9, QStringLiteral("Label9"));

    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const QStringList captions{"Move", "Zoom", "Save Log", "Delete Log", "Print Log"};
    for (int i = 1; i <= 5; ++i) {
        QAction *a = Toolbar1->addAction(captions[i - 1]);
        a->setObjectName(QStringLiteral("Toolbar1_%1").arg(i));
        connect(a, &QAction::triggered, this, [this, i] { Toolbar1_ButtonClick(i); });
        tools_[size_t(i - 1)] = a;
    }
    BuildSidePanel();
    BuildMenu();
    ShowMouseMode();

    PVCPicTimer = new QTimer(this);
    PVCPicTimer->setObjectName(QStringLiteral("PVCPicTimer"));
    PVCPicTimer->setTimerType(Qt::PreciseTimer); // the timeline corrects lateness, not haste
    PVCPicTimer->setInterval(2000);
    connect(PVCPicTimer, &QTimer::timeout, this, &DataLogPage::PVCPicTimer_Timer);
    ShowScale(StartScale(false, MaxVolt, MaxCurr));
}

void DataLogPage::BuildSidePanel() {
    side_ = new QFrame(this);
    side_->setFrameShape(QFrame::Box);
    side_->setFrameShadow(QFrame::Sunken); // etched
    auto *grid = new QGridLayout(side_);
    Option3[0] = new QRadioButton(QStringLiteral("     Now"), side_);
    Option3[1] = new QRadioButton(QStringLiteral("     Log"), side_);
    NameArray(Option3, QStringLiteral("Option3"));
    Option3[0]->setChecked(true);
    Option3[1]->setEnabled(false); // until a log has been opened
    for (int i = 0; i < 2; ++i)
        connect(Option3[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Option3_Click(i);
        });
    Light1 = new QLabel(side_);
    Light1->setObjectName(QStringLiteral("Light1"));
    Light1->setFixedSize(14, 14);
    Light1->setStyleSheet(QStringLiteral("background: #20c020; border-radius: 7px;"));
    Light1->setToolTip(QStringLiteral("Recording live"));
    Light1->installEventFilter(this);
    Light1->hide();
    auto *choice = new QHBoxLayout;
    auto *lightSlot = new QWidget(side_); // keeps its place while the light blinks
    lightSlot->setFixedSize(14, 14);
    Light1->setParent(lightSlot);
    choice->addWidget(lightSlot);
    choice->addWidget(Option3[0]);
    choice->addWidget(Option3[1]);
    choice->addStretch();
    grid->addLayout(choice, 0, 0, 1, 2);

    const QStringList captions{"Log name:", "V/div", "VMin", "I/div", "IMin", "T/div", "TMin"};
    for (int i = 0; i < FieldCount; ++i) {
        auto *box = new QComboBox(side_);
        PickOnly(box); // typed values stay as typed
        box->setMinimumWidth(i == LogName ? 150 : 90);
        // Keys reach the box, which hands them to its line edit; tests may send either.
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
        connect(box, &QComboBox::activated, this, [this, i] { Combo3_Click(i); });
        Combo3[size_t(i)] = box;
        auto *caption = new QLabel(captions[i], side_);
        if (i == LogName) {
            grid->addWidget(caption, 1, 0, 1, 2);
            grid->addWidget(box, 2, 0, 1, 2);
        } else {
            grid->addWidget(caption, i + 2, 0);
            grid->addWidget(box, i + 2, 1);
        }
    }
    NameArray(Combo3, QStringLiteral("Combo3"));
    connect(Combo3[LogName], &QComboBox::editTextChanged, this, [this] { Combo3_Change(LogName); });
    Combo3_Change(LogName);
}

bool DataLogPage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Light1 && event->type() == QEvent::MouseButtonRelease) {
        Light1_Click();
        return true;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QWidget::eventFilter(watched, event);
    for (int i = 0; i < FieldCount; ++i) {
        if (watched != Combo3[size_t(i)] && watched != Combo3[size_t(i)]->lineEdit())
            continue;
        auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (event->type() == QEvent::KeyPress)
            return enter; // Enter is the field's own: no list entry is matched or added
        if (!key->isAutoRepeat())
            Combo3_KeyUp(i, KeyCode(key->key()));
        return enter;
    }
    return QWidget::eventFilter(watched, event);
}

// --- Layout ----------------------------------------------------------------------------------

QSize DataLogPage::minimumSizeHint() const {
    // The toolbar, the scale fields beside a chart of some size, and the labels around it.
    const QFontMetrics fm(font());
    const QSize side = side_->sizeHint();
    const int labels = fm.horizontalAdvance(QStringLiteral("-000.0V-00.00A")) + 40;
    const int width = std::max(Toolbar1->sizeHint().width(), 320 + labels + side.width()) + 16;
    const int height =
        Toolbar1->sizeHint().height() + std::max(side.height(), 200) + fm.height() + 30;
    return {width, height};
}

void DataLogPage::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    PlaceChart();
}

void DataLogPage::PlaceChart() {
    const QFontMetrics fm(font());
    const int m = 8, h = fm.height();
    const QSize bar = Toolbar1->sizeHint();
    Toolbar1->setGeometry(m, 2, bar.width(), bar.height());
    const QSize side = side_->sizeHint();
    const int top = bar.height() + m;
    side_->setGeometry(std::max(width() - m - side.width(), 300), top, side.width(), side.height());
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
    const int right = std::max(side_->x() - 2 * m - currW, left + 100);
    const int chartTop = top + h / 2;
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

void DataLogPage::paintEvent(QPaintEvent *) {
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

// --- Scale fields and labels -----------------------------------------------------------------

Scale DataLogPage::ReadScale() const {
    Scale s;
    for (size_t i = 0; i < s.field.size(); ++i)
        s.field[i] = Combo3[i]->currentText();
    for (size_t i = 0; i < 11; ++i) {
        s.volt[i] = Label4[i]->text();
        s.curr[i] = Label3[i]->text();
    }
    for (size_t i = 0; i < 6; ++i)
        s.time[i] = Label9[i]->text();
    return s;
}

void DataLogPage::ShowScale(const Scale &s) {
    for (size_t i = VoltDiv; i < s.field.size(); ++i)
        if (Combo3[i]->currentText() != s.field[i])
            Combo3[i]->setEditText(s.field[i]);
    for (size_t i = 0; i < 11; ++i) {
        Label4[i]->setText(s.volt[i]);
        Label3[i]->setText(s.curr[i]);
    }
    for (size_t i = 0; i < 6; ++i)
        Label9[i]->setText(s.time[i]);
    if (LabelsOutgrown())
        PlaceChart();
}

bool DataLogPage::LabelsOutgrown() const {
    const QFontMetrics fm(font());
    const auto outgrown = [&fm](const auto &labels) {
        for (const QLabel *l : labels)
            if (fm.horizontalAdvance(l->text()) + 2 > l->width())
                return true;
        return false;
    };
    return outgrown(Label4) || outgrown(Label3) || outgrown(Label9);
}

bool DataLogPage::IsShown() const {
    return !Tab1 || Tab1->currentWidget() == this;
}

void DataLogPage::SetUp(const QStringList &tables) {
    FillLogList(tables);
    Combo3[LogName]->setEditText(QString());
    for (int i = VoltDiv; i < FieldCount; ++i) {
        Combo3[size_t(i)]->clear();
        Combo3[size_t(i)]->addItems(List(i, MaxVolt, MaxCurr));
    }
    ShowScale(StartScale(Connected, MaxVolt, MaxCurr));
    LiveStore.Clear();
    RedrawByMode();
}

void DataLogPage::Shown() {
    for (QComboBox *box : Combo3)
        box->lineEdit()->deselect();
    RedrawByMode();
}

void DataLogPage::Combo3_KeyUp(int index, int keyCode) {
    lastKey_ = QString::number(index) + u'_' + QString::number(keyCode);
    Combo3_KeyUp_Def(lastKey_);
}

void DataLogPage::Combo3_KeyUp_Def(const QString &key) {
    const int sep = key.indexOf(u'_');
    const int index = key.left(sep).toInt();
    const int code = key.mid(sep + 1).toInt();
    if (code != KeyEnter && code != KeyLeft && code != KeyRight)
        return;
    if (index < 0 || index >= FieldCount)
        return;
    if (index != LogName) {
        Scale s = ReadScale();
        KeyEdit(s, index, code, MaxVolt, MaxCurr);
        ShowScale(s);
        Combo3[size_t(index)]->lineEdit()->selectAll();
    }
    RedrawByMode();
}

void DataLogPage::Combo3_Click(int index) {
    if (index == LogName) {
        OpenLog(Combo3[LogName]->currentText());
        return;
    }
    Scale s = ReadScale();
    Pick(s, index);
    ShowScale(s);
    RedrawByMode();
}

void DataLogPage::MnuDefa_Click() {
    if (!Connected) {
        dialogs_.MsgBox(NotReadyMsg);
        return;
    }
    Scale s = ReadScale();
    Defaults(s, MaxVolt, MaxCurr);
    for (int i : {VoltMin, CurrMin}) {
        Combo3[size_t(i)]->clear();
        Combo3[size_t(i)]->addItems(List(i, MaxVolt, MaxCurr));
        Combo3[size_t(i)]->setEditText(QString());
    }
    ShowScale(s);
    RedrawByMode();
}

// --- Chart -----------------------------------------------------------------------------------

void DataLogPage::Option3_Click(int) {
    if (HideEditor)
        HideEditor();
    Combo3_Change(LogName); // "Save Log" follows the mode
    RedrawByMode();
}

void DataLogPage::Light1_Click() {
    Option3[0]->setChecked(true);
}

void DataLogPage::RedrawByMode() {
    if (Option3[1]->isChecked())
        Picture1_Set_LOG();
    else if (Option3[0]->isChecked())
        Picture1_Set_PVC();
}

void DataLogPage::Picture1_Set_PVC() {
    Draw(true);
}

void DataLogPage::Picture1_Set_LOG() {
    Draw(false);
}

void DataLogPage::Draw(bool live) {
    if (!IsShown())
        return;
    // The live chart leaves slot 1 out: its window starts two intervals later than the log's.
    const double offset = (live ? 4.0 : 2.0) * SampleMs / 1000;
    const Mapping m =
        ReadMapping(ReadScale(), Picture1->ScaleWidth(), Picture1->ScaleHeight(), offset, live);
    // Drawing runs to its end on this one thread, so no poll can come between; Timer1 keeps its
    // phase (stopping and starting it would restart its period and thin out the polls).
    {
        QPainter p(&Picture1->Canvas());
        ChartDraw::Frame(p, m);
        ChartDraw::Traces(p, m, live ? LiveStore : LogStore, live ? SampleMs : LogSampleMs);
    }
    Picture1->update();
}

void DataLogPage::PVCPicTimer_Timer() {
    const Timeline::Tick t =
        Timeline::Next(Timeline::NowMs(clock_), LogStartMs, LogCount, SampleMs);
    LogStartMs = t.startMs;
    LogCount = t.count;
    PVCPicTimer->setInterval(t.periodMs);
    LiveStore.Push(MeasVolt, MeasCurr);
    if (Option3[0]->isChecked())
        Picture1_Set_PVC();
}

void DataLogPage::Toolbar1_ButtonClick(int button) {
    switch (button) {
    case 1:
        MnuMove_Click();
        break;
    case 2:
        MnuZoom_Click();
        break;
    case 3:
        MnuSave_Click();
        break;
    case 4:
        MnuDele_Click();
        break;
    case 5:
        MnuPrin_Click();
        break;
    }
}
