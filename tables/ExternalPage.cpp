// The "External Timed Program" page: a program of up to 100 steps stepped from the computer, with
// its table buttons, name box, "New" and the row-count box.
#include "Clock.h"
#include "Database.h"
#include "Dialogs.h"
#include "GridEditor.h"
#include "Module1.h"
#include "PageLayout.h"
#include "ProgramLink.h"

#include <QKeyEvent>
#include <QTabWidget>
#include <utility>

using namespace ProgramRules;

namespace {
// A step's voltage or current as it is sent: the comma conversion, then the leading number.
float cellValue(const QStringList &row, int col) {
    return float(Module1::LeadingNumber(Module1::NormDecimalStr(row.value(col))));
}
} // namespace

ExternalPage::ExternalPage(PageContext &context, QWidget *parent)
    : ProgramPage(1, context, parent) {
    auto *top = PageLayout::NameAndCycle(this, Combo1, QStringLiteral("Combo1"),
                                         QStringLiteral(" Run  cycle:"));

    auto *rows = new QWidget(this);
    auto *rowsLayout = new QHBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    Text1 = new QLineEdit(rows);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFixedWidth(50);
    const QStringList arrows{QStringLiteral("+"), QStringLiteral("-")};
    rowsLayout->addWidget(new QLabel(QStringLiteral("No. of Rows:"), rows));
    rowsLayout->addWidget(Text1);
    for (int i = 0; i < 2; ++i) {
        Command3[i] = new QPushButton(arrows[i], rows);
        Command3[i]->setFixedWidth(28);
        rowsLayout->addWidget(Command3[i]);
        connect(Command3[i], &QPushButton::clicked, this, [this, i] { Command3_Click(i); });
    }
    NameArray(Command3, QStringLiteral("Command3"));
    rowsLayout->addSpacing(16);
    Picture11 = new QFrame(rows);
    Picture11->setObjectName(QStringLiteral("Picture11"));
    Picture11->setFrameShape(QFrame::StyledPanel);
    Picture11->setFixedSize(200, 14);
    Label11 = new QLabel(Picture11);
    Label11->setObjectName(QStringLiteral("Label11"));
    Label11->setFixedSize(10, 10); // a marker, not a text: no style makes it wider
    Label11->move(0, 2);
    Label11->setAutoFillBackground(true);
    MarkerColour(Label11->palette().color(QPalette::Highlight));
    rowsLayout->addWidget(Picture11);
    rowsLayout->addStretch();

    // Step times are kept on the monotonic clock; the timers only wake the page up for them.
    OrthenTimer = new QTimer(this);
    OrthenTimer->setObjectName(QStringLiteral("OrthenTimer"));
    OrthenTimer->setTimerType(Qt::PreciseTimer);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setTimerType(Qt::PreciseTimer);
    Timer3->setInterval(60000);
    connect(OrthenTimer, &QTimer::timeout, this, &ExternalPage::OrthenTimer_Timer);
    connect(Timer3, &QTimer::timeout, this, &ExternalPage::Timer3_Timer);
    connect(Combo1[1], &QComboBox::editTextChanged, this, [this] { Combo1_Changed(1); });
    connect(Combo1[1], &QComboBox::activated, this, [this] { Combo1_Click(1); });

    PageLayout::Build(this, top, rows, Command1, QStringLiteral("Command1"),
                      QStringList{"Run", "New"} + PageLayout::TableButtons);
    for (int i = 0; i < 6; ++i)
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    connect(Combo1[0], &QComboBox::activated, this, [this] { Combo1_Click(0); });
    connect(Combo1[0], &QComboBox::editTextChanged, this, [this] { Combo1_Change(0); });
    Text1->installEventFilter(this);
    Combo1[0]->installEventFilter(this); // where a combo box's focus arrives
}

void ExternalPage::SetUp() {
    ctx_.editor->ClsFGrid(Index);
    Text1->setText(QStringLiteral("10"));
    Combo1[1]->setEditText(QStringLiteral("0"));
    Command1[4]->setEnabled(false);
    Command1[5]->setEnabled(false);
    SetName(QStringLiteral("Untitle")); // the change rule enables Open and Save
}

void ExternalPage::Command1_Click(int index) {
    // Run and Save Table read the grid: the cell being edited first; New and Clear empty it.
    const bool reads = index == 3 || (index == 0 && !Running());
    if (!LeaveEditor(reads ? Grid::Read : index == 1 || index == 5 ? Grid::Emptied : Grid::Other))
        return;
    // Stop sends nothing to the supply, so it never needs a connection.
    if (index == 0 && !Running() && !PreChecks(ctx_.pages[0]->Running()))
        return;
    Trapped([&] {
        switch (index) {
        case 0:
            if (Running()) {
                FinishStep();
                EndRun(true);
            } else
                StartRun();
            break;
        case 1:
            NewTable();
            break;
        case 2:
            if (OpenTable() != Opened::Found)
                return;
            EnableRun(true);
            Command1[2]->setEnabled(false);
            Command1[3]->setEnabled(false);
            break;
        case 3:
            if (SaveTable(QStringLiteral("please enter the table name ."))) {
                Command1[4]->setEnabled(true);
                Command1[5]->setEnabled(true);
            }
            break;
        case 4:
            if (DeleteTable())
                Command1[5]->setEnabled(false);
            break;
        case 5:
            ClearTable();
            for (int i : {0, 2, 3, 4, 5})
                Command1[i]->setEnabled(false);
            SetName(QStringLiteral("Untitle"));
            break;
        default:
            break;
        }
    });
}

void ExternalPage::StartRun() {
    const QString cycle = Combo1[1]->currentText();
    if (!CycleValid(cycle)) {
        ctx_.dialogs.MsgBox(QStringLiteral("Entry number of cycle ."));
        Combo1[1]->setFocus();
        Combo1[1]->lineEdit()->selectAll();
        return;
    }
    const QList<QStringList> rows = FGrid->DataRows();
    if (const auto refusal = RunRefusal(rows)) {
        ctx_.dialogs.MsgBox(*refusal);
        return;
    }
    StepCount = CountSteps(rows);
    qint64 passMs = 0;
    for (int r = 0; r < StepCount; ++r) {
        // Every step's lines and times must fit before the first goes out.
        try {
            Protocol::VoltDigits(cellValue(rows[r], 1));
            Protocol::CurrDigits(cellValue(rows[r], 2));
            ProgramLink::TimeDigits(rows[r].value(3), rows[r].value(4));
            Protocol::CheckLimits(cellValue(rows[r], 1), cellValue(rows[r], 2));
        } catch (const Protocol::FieldError &e) {
            ctx_.dialogs.MsgBox(
                ProgramLink::NotSentMessage(QStringLiteral("Step %1").arg(r + 1), e));
            return;
        }
        passMs += StepMs(rows[r]);
    }
    TotalMs = cycle == u"0" ? 0 : qint64(passMs * Module1::LeadingNumber(cycle));
    Label11->move(0, Label11->y());

    ctx_.SaveEnableStates();
    auto &internal = static_cast<InternalPage &>(*ctx_.pages[0]);
    auto &preset = static_cast<PresetPage &>(*ctx_.pages[2]);
    for (int i : {0, 1, 2}) {
        internal.Command0[size_t(i)]->setEnabled(false);
        preset.Command2[size_t(i)]->setEnabled(false);
    }
    for (QPushButton *b : ctx_.SetReset)
        b->setEnabled(false);
    ctx_.ShowTitle(QStringLiteral(" (") + Combo1[0]->currentText() + QStringLiteral(") Running"));
    Command1[0]->setText(QStringLiteral("Stop"));
    Command1[0]->setFocus();
    ctx_.Tab1->setTabEnabled(0, false);
    ctx_.Tab1->setTabEnabled(2, false);
    for (QComboBox *box : Combo1)
        box->setEnabled(false);
    // Open Table too: a table opened now would replace the steps being run.
    for (int i : {1, 2, 3, 4, 5})
        Command1[size_t(i)]->setEnabled(false);
    for (QPushButton *b : Command3)
        b->setEnabled(false);
    Text1->setEnabled(false);
    ctx_.LockSetpoints(true);
    ctx_.editor->HideEditor();
    FGrid->setEnabled(false); // the steps stay as they are while they run
    ctx_.editor->Quietly([&] { FGrid->SetCurrent(1, 1); });
    ctx_.Timer1->start();
    CurrentPass = 1;
    CurrentStep = 0;
    ctx_.RecalledMemory = 0;
    ctx_.Note(
        QStringLiteral("external program started, %1 steps, cycles %2").arg(StepCount).arg(cycle));
    Module1::CurCmd = QStringLiteral("RUNU"); // a marker, never sent
    NextDueMs = -1;                           // the run starts with its first step
    OrthenTimer->start(1);                    // the first step at once
}

void ExternalPage::OrthenTimer_Timer() {
    ctx_.Timer1->stop();
    try {
        if (!NextStep(CurrentStep, CurrentPass, StepCount, Combo1[1]->currentText())) {
            EndRun(false);
            return;
        }
        const QStringList row = FGrid->DataRows().value(CurrentStep - 1);
        if (NextDueMs < 0)
            NextDueMs = ctx_.clock.MonotonicMs();
        // Each half waits on the line (about 20 ms at 9600 baud): the window handles its
        // events between them. The second half comes by a timer, not a posted call, so that the
        // loop serves its input and timers in between, not only the posted events.
        OrthenTimer->stop();
        ctx_.Note(QStringLiteral("external step %1 pass %2: %3 V %4 A")
                      .arg(CurrentStep)
                      .arg(CurrentPass)
                      .arg(Module1::Format(cellValue(row, 1), QStringLiteral("0.0")),
                           Module1::Format(cellValue(row, 2), QStringLiteral("0.00"))));
        ProgramLink::SendStepVolt(ctx_.port, ctx_.clock, cellValue(row, 1));
        PendingCurr = cellValue(row, 2);
        QTimer::singleShot(1, Qt::PreciseTimer, this, &ExternalPage::FinishStep);
        if (ctx_.Tab1->currentIndex() == Index)
            ctx_.editor->Quietly([&] { FGrid->SetCurrent(CurrentStep, FGrid->Col()); });
        const qint64 stepMs = StepMs(row);
        if (TotalMs == 0) {
            MarkerColour(QColor(0, 0, 255)); // endless: blue and still
        } else {
            const int track = Picture11->width() - Label11->width();
            Label11->move(Label11->x() +
                              int(Module1::nearest(double(stepMs) / double(TotalMs) * track)),
                          Label11->y());
        }
        // Each step is due at the run's start plus the steps before it, whatever the
        // exchanges cost, so a long program does not drift.
        NextDueMs += stepMs;
    } catch (const CommError &e) {
        ctx_.LinkLost(e.description()); // ends the run: no tick finds the port gone again
        return;
    } catch (const std::runtime_error &e) {
        // Stepping goes on at the next tick with the timer as it was.
        ctx_.dialogs.MsgBox(QString::fromStdString(e.what()));
        ctx_.Timer1->start();
    }
}

void ExternalPage::FinishStep() {
    if (!PendingCurr)
        return;
    const float amps = *std::exchange(PendingCurr, std::nullopt);
    try {
        ProgramLink::SendStepCurr(ctx_.port, ctx_.clock, amps);
    } catch (const CommError &e) {
        ctx_.LinkLost(e.description());
        return;
    } catch (const std::runtime_error &e) {
        ctx_.dialogs.MsgBox(QString::fromStdString(e.what()));
    }
    if (Running())
        ArmNextStep();
    ctx_.Timer1->start();
}

void ExternalPage::MarkerColour(const QColor &colour) {
    QPalette p = Label11->palette();
    p.setColor(QPalette::Window, colour);
    Label11->setPalette(p);
}

void ExternalPage::ArmNextStep() {
    const Arming arm = ArmFor(NextDueMs - ctx_.clock.MonotonicMs());
    if (arm.slices) {
        OrthenTimer->stop();
        Timer3->start(60000);
    } else {
        Timer3->stop();
        OrthenTimer->start(arm.intervalMs);
    }
}

bool ExternalPage::StepDueWithin(qint64 ms) const {
    return Running() && OrthenTimer->isActive() && NextDueMs - ctx_.clock.MonotonicMs() < ms;
}

void ExternalPage::Timer3_Timer() {
    ArmNextStep();
}

void ExternalPage::EndRun(bool stopped) {
    OrthenTimer->stop();
    Timer3->stop();
    ctx_.Note(stopped ? QStringLiteral("external program stopped")
                      : QStringLiteral("external program ended"));
    Text1->setEnabled(true);
    ctx_.LockSetpoints(false);
    // Stop during step 1 moves on to row 2, where there is one.
    const int row = stopped && CurrentStep <= 1 && FGrid->Rows() > 2 ? 2 : 1;
    ctx_.editor->Quietly([&] { FGrid->SetCurrent(row, 1); });
    Label11->move(0, Label11->y());
    if (stopped)
        MarkerColour(palette().color(QPalette::Highlight));
    ctx_.editor->HideEditor();
    Command1[0]->setText(QStringLiteral("Run"));
    const auto enableOwn = [this] {
        for (int i : {1, 4, 5})
            Command1[size_t(i)]->setEnabled(true);
        for (QPushButton *b : Command3)
            b->setEnabled(true);
    };
    if (stopped)
        enableOwn();
    ctx_.RestoreEnableStates();
    for (size_t k = 0; k < 2; ++k)
        if (ctx_.Option3[k] && ctx_.saved.option3[k])
            ctx_.Option3[k]->setChecked(true);
    for (int t : {0, 2, 3})
        ctx_.Tab1->setTabEnabled(t, true);
    for (QComboBox *box : Combo1)
        box->setEnabled(true);
    FGrid->setEnabled(true);
    ctx_.Timer1->start();
    if (!stopped)
        enableOwn();
    ctx_.ShowTitle();
}

void ExternalPage::SetSteps(int steps) {
    ctx_.editor->Quietly([&] { FGrid->SetRows(steps + 1); });
    FGrid->SetColumnWidthsTwips(WidthsTwips(Index, steps));
    Text1->setText(QString::number(steps));
}

void ExternalPage::ShowRecords(const QList<QStringList> &records, bool formatted) {
    const int steps = std::clamp(int(records.size()), 1, MaxExternalSteps);
    FGrid->setUpdatesEnabled(false);
    SetSteps(steps);
    for (int r = 1; r <= steps; ++r) {
        const QStringList record = records.value(r - 1);
        FGrid->SetTextMatrix(r, 0, QString::number(r));
        for (int c = 1; c <= 4; ++c) {
            const QString stored = record.value(c - 1);
            FGrid->SetTextMatrix(r, c, formatted ? Formatted(Index, c, stored) : stored);
        }
    }
    FGrid->setUpdatesEnabled(true);
}

bool ExternalPage::RunCycleOk() const {
    return CycleValid(Combo1[1]->currentText());
}

void ExternalPage::ReloadStates() {
    Command1[4]->setEnabled(true);
    Command1[5]->setEnabled(true);
    const bool cycle = !Combo1[1]->currentText().isEmpty();
    EnableRun(cycle);
    if (!cycle)
        Combo1[1]->setFocus();
    Command1[2]->setEnabled(false);
    Command1[3]->setEnabled(false);
}

void ExternalPage::Combo1_Changed(int index) {
    QLineEdit *cycle = Combo1[index]->lineEdit();
    if (index == 1 && cycle->text().size() > 8) {
        cycle->setText(QStringLiteral("0"));
        cycle->selectAll();
    }
    if (index == 1)
        EnableRun(true); // typed as picked: Run while the program can run
}

void ExternalPage::Combo1_Click(int index) {
    if (index == 1) {
        EnableRun(true);
        return;
    }
    if (!PickFromList())
        return;
    // The cycle value: "0", or a leading number above 0.
    if (!CycleValid(Combo1[1]->currentText())) {
        Combo1[1]->setFocus();
        Combo1[1]->lineEdit()->selectAll();
        Command1[0]->setEnabled(false);
    }
}

void ExternalPage::Combo1_Change(int index) {
    if (index != 0)
        return;
    if (!Combo1[0]->currentText().isEmpty()) {
        Command1[2]->setEnabled(true);
        Command1[3]->setEnabled(true);
    } else {
        Command1[3]->setEnabled(false);
        Command1[4]->setEnabled(false);
    }
}

void ExternalPage::CellTyped() {
    Command1[3]->setEnabled(true);
    Command1[5]->setEnabled(true);
}

void ExternalPage::RowsChanged(int steps) {
    Text1->setText(QString::number(steps));
}

void ExternalPage::NewTable() {
    const double asked = Module1::LeadingNumber(Text1->text());
    const int steps = asked > MaxExternalSteps ? MaxExternalSteps
                      : asked < 2              ? 1
                                               : int(Module1::nearest(asked));
    FGrid->setUpdatesEnabled(false);
    SetSteps(steps);
    for (int r = 1; r <= steps; ++r)
        FGrid->SetDataRow(r, ZeroRow(Index, r));
    FGrid->setUpdatesEnabled(true);
    ctx_.editor->SetFGridForeColor(Index); // a zero first step cannot be run
    ctx_.editor->Quietly([&] { FGrid->SetCurrent(1, 1); });
    SetName(QStringLiteral("Untitle"));
    FGrid->setFocus();
}

void ExternalPage::Command3_Click(int index) {
    const double n = Module1::LeadingNumber(Text1->text());
    if (index == 0) {
        if (n < MaxExternalSteps)
            Text1->setText(Module1::NumStr(n + 1));
    } else {
        Text1->setText(n <= 1 ? QStringLiteral("1") : Module1::NumStr(n - 1));
    }
}

void ExternalPage::Text1_GotFocus() {
    ctx_.editor->HideEditor();
    Text1->selectAll();
}

void ExternalPage::Text1_KeyUp(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    if (Module1::LeadingNumber(Text1->text()) <= 0)
        Text1->selectAll();
    else
        Command1_Click(1);
}

bool ExternalPage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Text1) {
        if (event->type() == QEvent::FocusIn)
            Text1_GotFocus();
        else if (event->type() == QEvent::KeyRelease)
            Text1_KeyUp(static_cast<QKeyEvent *>(event)->key());
    } else if (watched == Combo1[0] && event->type() == QEvent::FocusIn) {
        ctx_.editor->HideEditor();
    }
    return ProgramPage::eventFilter(watched, event);
}
