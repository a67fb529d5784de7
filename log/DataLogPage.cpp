#include "DataLogPage.h"

#include "ChartDraw.h"
#include "ChartOverlay.h"
#include "ChartSurface.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Module1.h"
#include "SampleStore.h"
#include "Timeline.h"

#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QTabWidget>

using namespace Module1;
using namespace ChartScale;

DataLogPage::DataLogPage(Database &db, Dialogs &dialogs, Clock &clock, QWidget *parent)
    : QWidget(parent), Rec(clock), db_(db), dialogs_(dialogs), clock_(clock) {
    setObjectName(QStringLiteral("DataLogPage"));
    Rec.Failed = [this] { RecordingStopped(); };
    View = new ChartView(this);
    Side = new ScalePanel(this);
    Commands = new ChartCommands(this);
    Picture1 = View->Picture1;
    Label4 = View->Label4;
    Label3 = View->Label3;
    Label9 = View->Label9;
    Option3 = Side->Option3;
    Light1 = Side->Light1;
    Combo3 = Side->Combo3;
    Toolbar1 = Commands->Toolbar1;
    ChartMenu = Commands->ChartMenu;
    const ChartCommands &c = *Commands;
    MnuNow = c.MnuNow, MnuLog = c.MnuLog, MnuMove = c.MnuMove, MnuZoom = c.MnuZoom;
    MnuExit = c.MnuExit, MnuVolt = c.MnuVolt, MnuCurr = c.MnuCurr, MnuTime = c.MnuTime;
    MnuSave = c.MnuSave, MnuDele = c.MnuDele, MnuExport = c.MnuExport, MnuPrin = c.MnuPrin;
    MnuDefa = c.MnuDefa, MnuClear = c.MnuClear, MnuImage = c.MnuImage, MnuRecord = c.MnuRecord;
    Stats = new StatsPanel(Side);
    Side->AddBelow(Stats);
    Picture1->setMouseTracking(true); // the hover readout follows the arrow pointer
    Picture1->Overlay = [this](QPainter &p) {
        ChartOverlay::Draw(p, ShownMapping(), ShownSlots(), Cursors);
    };
    connect(Picture1, &ChartSurface::left, this, [this] {
        Cursors.hover.reset();
        Picture1->update();
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this,
                                 &DataLogPage::MnuClear_Click, Qt::WidgetWithChildrenShortcut);
    escape->setObjectName(QStringLiteral("ClearCursorsKey"));

    connect(Picture1, &ChartSurface::resized, this, &DataLogPage::RedrawByMode);
    connect(Side, &ScalePanel::choiceClicked, this, &DataLogPage::Option3_Click);
    connect(Side, &ScalePanel::lightClicked, this, &DataLogPage::Light1_Click);
    connect(Side, &ScalePanel::keyUp, this, &DataLogPage::Combo3_KeyUp);
    connect(Side, &ScalePanel::picked, this, &DataLogPage::Combo3_Click);
    connect(Side, &ScalePanel::nameChanged, this, [this] { Combo3_Change(ChartScale::LogName); });
    ConnectCommands();
    Combo3_Change(LogName);
    ShowMouseMode();

    PVCPicTimer = new QTimer(this);
    PVCPicTimer->setObjectName(QStringLiteral("PVCPicTimer"));
    PVCPicTimer->setTimerType(Qt::PreciseTimer); // the timeline corrects lateness, not haste
    PVCPicTimer->setInterval(2000);
    connect(PVCPicTimer, &QTimer::timeout, this, &DataLogPage::PVCPicTimer_Timer);
    ShowScale(StartScale(false, MaxVolt, MaxCurr));
}

// --- Layout ----------------------------------------------------------------------------------

QSize DataLogPage::minimumSizeHint() const {
    // The toolbar, the scale fields beside a chart of some size, and the labels around it.
    const QFontMetrics fm(font());
    const QSize side = Side->sizeHint();
    const int width =
        std::max(Toolbar1->sizeHint().width(), 320 + View->LabelsWidth() + side.width()) + 16;
    const int height =
        Toolbar1->sizeHint().height() + std::max(side.height(), 200) + fm.height() + 30;
    return {width, height};
}

void DataLogPage::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    PlaceParts();
}

void DataLogPage::PlaceParts() {
    // The toolbar along the top, the side panel at the right, the chart in the rest.
    const int m = 8;
    const QSize bar = Toolbar1->sizeHint();
    Toolbar1->setGeometry(m, 2, bar.width(), bar.height());
    const QSize side = Side->sizeHint();
    const int top = bar.height() + m;
    Side->setGeometry(std::max(width() - m - side.width(), 300), top, side.width(), side.height());
    View->setGeometry(0, top, Side->x() - m, height() - top);
}

// --- Scale fields and labels -----------------------------------------------------------------

Scale DataLogPage::ReadScale() const {
    Scale s;
    for (size_t i = 0; i < s.field.size(); ++i)
        s.field[i] = Combo3[i]->currentText();
    View->ReadLabels(s);
    return s;
}

void DataLogPage::ShowScale(const Scale &s) {
    for (size_t i = VoltDiv; i < s.field.size(); ++i)
        if (Combo3[i]->currentText() != s.field[i])
            Combo3[i]->setEditText(s.field[i]);
    View->ShowLabels(s);
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
    Cursors = {};
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
    Cursors = {};           // they were on the other chart's samples
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
    const ChartReadout::Slots chart = ChartSlots(live);
    const Mapping m = ReadMapping(ReadScale(), Picture1->ScaleWidth(), Picture1->ScaleHeight(),
                                  chart.offsetHalfS, live);
    // Drawing runs to its end on this one thread, so no poll can come between; Timer1 keeps its
    // phase (stopping and starting it would restart its period and thin out the polls).
    {
        QPainter p(&Picture1->Canvas());
        ChartDraw::Frame(p, m);
        ChartDraw::Traces(p, m, *chart.store, chart.intervalMs);
    }
    UpdateReadings(); // the statistics of the new window or samples, the marks over the chart
}

void DataLogPage::PVCPicTimer_Timer() {
    const Timeline::Tick t =
        Timeline::Next(Timeline::NowMs(clock_), LogStartMs, LogCount, SampleMs);
    LogStartMs = t.startMs;
    LogCount = t.count;
    PVCPicTimer->setInterval(t.periodMs);
    // A missed tick is an empty slot, so that every older sample stays as many intervals back as
    // it was taken.
    const int empty = int(std::min<qint64>(t.missed, SampleStore::Slots));
    for (int i = 0; i < empty; ++i)
        LiveStore.Push(SampleStore::None, SampleStore::None);
    // Without a supply, or without a recent poll, there is no reading, whatever was last
    // measured.
    const bool fresh =
        Connected && Timeline::ReadingFresh(Timeline::NowMs(clock_), MeasAtMs, PollInterval);
    const float volt = fresh ? MeasVolt : SampleStore::None;
    const float curr = fresh ? MeasCurr : SampleStore::None;
    LiveStore.Push(volt, curr);
    LastSampleAt = clock_.CurrentDateTime();
    RecordSample(volt, curr); // the same reading as the live store, on the same tick
    if (Option3[0]->isChecked()) {
        Cursors.Shift(empty + 1); // they stay on their samples
        Picture1_Set_PVC();
    }
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
    case 6:
        MnuRecord_Click();
        break;
    }
}
