// The "Internal Timed Program" page: a ten-step program written into the supply, read back and
// run there, with its table buttons and its name and run-cycle boxes.
#include "Connection.h"
#include "Database.h"
#include "Dialogs.h"
#include "GridEditor.h"
#include "Module1.h"
#include "PageLayout.h"
#include "ProgramLink.h"

#include <QKeyEvent>
#include <QTabWidget>
#include <QTimer>

using namespace ProgramRules;

InternalPage::InternalPage(PageContext &context, QWidget *parent)
    : ProgramPage(0, context, parent) {
    auto *top = PageLayout::NameAndCycle(this, Combo0, QStringLiteral("Combo0"),
                                         QStringLiteral(" Run  cycle:  ( 0 - 9 )"));
    PageLayout::Build(this, top, nullptr, Command0, QStringLiteral("Command0"),
                      QStringList{"Run", "Read from power supply", "Save to power supply"} +
                          PageLayout::TableButtons);
    for (int i = 0; i < 7; ++i)
        connect(Command0[i], &QPushButton::clicked, this, [this, i] { Command0_Click(i); });
    for (int i = 0; i < 2; ++i)
        connect(Combo0[i], &QComboBox::activated, this, [this, i] { Combo0_Click(i); });
    // On the boxes themselves: a combo box takes the focus and the keys and hands them to its
    // line edit directly, past any filter there.
    for (QComboBox *box : Combo0)
        box->installEventFilter(this);
}

void InternalPage::SetUp() {
    ctx_.editor->ClsFGrid(Index);
    SetName(QStringLiteral("Untitle"));
    Combo0[1]->setEditText(QStringLiteral("0"));
    // Nothing to save or open yet: typing, a read or a pick from the list enables the rest.
    for (int i = 2; i <= 6; ++i)
        Command0[i]->setEnabled(false);
}

bool InternalPage::CycleValid() const {
    return ProgramLink::RunCycleValid(Combo0[1]->currentText());
}

void InternalPage::Command0_Click(int index) {
    // Run, Save to power supply and Save Table read the grid: the cell being edited first.
    const bool reads = index == 2 || index == 4 || (index == 0 && !Running());
    if (!LeaveEditor(reads ? Grid::Read : index == 6 ? Grid::Emptied : Grid::Other))
        return;
    if (index <= 2 && !PreChecks(ctx_.pages[1]->Running()))
        return;
    Trapped([&] {
        switch (index) {
        case 0:
            if (Running()) {
                ctx_.Timer1->stop();
                BackToIdle(4);
                ctx_.Timer1->start();
            } else {
                RunProgram();
            }
            break;
        case 1:
            ReadProgram();
            break;
        case 2: {
            const QList<QByteArray> lines = StepLines();
            if (const QList<int> refused = WriteProgram(lines); !refused.isEmpty())
                ctx_.dialogs.MsgBox(
                    ProgramLink::NotAcceptedMessage(QStringLiteral("step"), refused));
            else
                ctx_.Tell(
                    QStringLiteral("Program written to the supply (%1 steps)").arg(lines.size()));
            break;
        }
        case 3: {
            if (OpenTable() == Opened::EmptyName)
                return;
            // Found or not: Run waits until the grid is edited or read from the supply.
            Command0[0]->setEnabled(false);
            for (int i : {1, 2, 3, 5, 6})
                Command0[i]->setEnabled(true);
            Command0[4]->setEnabled(false);
            break;
        }
        case 4:
            if (SaveTable(QStringLiteral("Plase entry table name .")))
                Command0[4]->setEnabled(false);
            break;
        case 5:
            if (DeleteTable())
                Command0[5]->setEnabled(false);
            break;
        case 6:
            ClearTable();
            SetName(QStringLiteral("Untitle"));
            for (int i : {0, 2, 3, 4, 5, 6})
                Command0[i]->setEnabled(false);
            break;
        default:
            break;
        }
    });
}

void InternalPage::ReadProgram() {
    ctx_.Timer1->stop();
    QByteArray reply;
    ProgramLink::ReadProgram(ctx_.port, ctx_.clock, reply);
    // Whatever came, if it is a GETP reply: a short one leaves the missing steps at zero.
    if (reply.startsWith("GETP")) {
        const auto steps = ProgramLink::ParseGetp(reply);
        for (int r = 1; r <= 10; ++r) {
            const auto &st = steps[size_t(r - 1)];
            FGrid->SetDataRow(r,
                              {FGrid->TextMatrix(r, 0), st.volt, st.curr, st.minutes, st.seconds});
        }
    }
    ctx_.editor->SetFGridForeColor(Index);
    if (!CycleValid()) {
        Command0[0]->setEnabled(false);
        Combo0[1]->setFocus();
    }
    Command0[4]->setEnabled(true);
    Command0[6]->setEnabled(true);
    ctx_.Timer1->start();
}

QList<QByteArray> InternalPage::StepLines() const {
    QList<ProgramLink::StepText> steps;
    for (int r = 1; r < FGrid->Rows(); ++r)
        steps.append({FGrid->TextMatrix(r, 1), FGrid->TextMatrix(r, 2), FGrid->TextMatrix(r, 3),
                      FGrid->TextMatrix(r, 4)});
    return ProgramLink::PropLines(steps);
}

QList<int> InternalPage::WriteProgram(const QList<QByteArray> &lines) {
    ctx_.Timer1->stop();
    // A step the supply never acknowledges is passed over; the next one goes all the same.
    const QList<int> refused = ProgramLink::WriteProgram(ctx_.port, ctx_.clock, lines);
    ctx_.Timer1->start();
    return refused;
}

void InternalPage::RunProgram() {
    if (!CycleValid()) {
        // RUNP carries one digit; anything else would start some other number of cycles.
        ctx_.dialogs.MsgBox(QStringLiteral("Entry number of cycle ."));
        Combo0[1]->setFocus();
        return;
    }
    if (const auto refusal = RunRefusal(FGrid->DataRows())) {
        ctx_.dialogs.MsgBox(*refusal); // an empty or current-less program never goes out
        return;
    }
    const QList<QByteArray> lines = StepLines(); // a step that does not fit: nothing starts
    ctx_.Timer1->stop();
    EnterRunState();
    if (const QList<int> refused = WriteProgram(lines); !refused.isEmpty()) {
        // The supply holds a program other than the grid's: it must not run.
        BackToIdle(0);
        ctx_.dialogs.MsgBox(ProgramLink::NotAcceptedMessage(QStringLiteral("step"), refused) +
                            QStringLiteral(" The program was not started ."));
        return;
    }
    ProgramLink::StartProgram(ctx_.port, ctx_.clock, Combo0[1]->currentText());
    ctx_.RecalledMemory = 0;
    ctx_.Note(QStringLiteral("internal program started, cycles %1").arg(Combo0[1]->currentText()));
    // Running whether or not RUNP was acknowledged: polling sees the end.
    ctx_.Timer1->start();
}

void InternalPage::EnterRunState() {
    ctx_.ShowTitle(QStringLiteral(" Running"));
    Command0[0]->setText(QStringLiteral("Stop"));
    Command0[0]->setFocus();
    ctx_.SaveEnableStates();
    auto &external = static_cast<ExternalPage &>(*ctx_.pages[1]);
    auto &preset = static_cast<PresetPage &>(*ctx_.pages[2]);
    external.Command1[0]->setEnabled(false);
    for (int i : {0, 1, 2})
        preset.Command2[size_t(i)]->setEnabled(false);
    for (QPushButton *b : ctx_.SetReset)
        b->setEnabled(false);
    for (int i = 1; i <= 6; ++i)
        Command0[size_t(i)]->setEnabled(false);
    ctx_.Tab1->setTabEnabled(1, false);
    ctx_.Tab1->setTabEnabled(2, false);
    for (QComboBox *box : Combo0)
        box->setEnabled(false);
    ctx_.LockSetpoints(true);
    FGrid->setEnabled(false); // no editing while the supply runs the program
}

void InternalPage::AdoptRun() {
    ctx_.editor->HideEditor();
    EnterRunState();
    Command0[0]->setEnabled(true); // Stop
}

void InternalPage::BackToIdle(int stopAttempts) {
    ctx_.ShowTitle();
    Command0[0]->setText(QStringLiteral("Run"));
    ctx_.Tab1->setTabEnabled(1, true);
    ctx_.Tab1->setTabEnabled(2, true);
    // The page is given back before STOP goes out: a port that fails under it leaves no
    // locked page behind.
    ctx_.RestoreEnableStates();
    for (QComboBox *box : Combo0)
        box->setEnabled(true);
    FGrid->setEnabled(true);
    ctx_.LockSetpoints(false);
    if (stopAttempts)
        ctx_.Note(stopAttempts == 1 ? QStringLiteral("internal program ended")
                                    : QStringLiteral("internal program stopped"));
    Connection::StopProgram(ctx_.port, ctx_.clock, stopAttempts);
}

void InternalPage::ShowRecords(const QList<QStringList> &records, bool formatted) {
    FGrid->setUpdatesEnabled(false);
    for (int r = 1; r < FGrid->Rows(); ++r) {
        const QStringList record = records.value(r - 1);
        if (record.isEmpty()) {
            FGrid->SetDataRow(r, ZeroRow(Index, r)); // a short table leaves no stale steps
            continue;
        }
        for (int c = 1; c <= 4; ++c)
            FGrid->SetTextMatrix(
                r, c, formatted ? Formatted(Index, c, record.value(c - 1)) : record.value(c - 1));
    }
    FGrid->setUpdatesEnabled(true);
}

void InternalPage::ReloadStates() {
    for (int i : {2, 3, 5, 6})
        Command0[i]->setEnabled(true);
    Command0[4]->setEnabled(false);
}

void InternalPage::CellTyped() {
    for (int i : {2, 3, 4, 6})
        Command0[i]->setEnabled(true);
}

void InternalPage::Combo0_Click(int index) {
    if (index == 1) {
        EnableRun(CycleValid());
        return;
    }
    if (!PickFromList()) {
        if (Combo0[0]->currentText().isEmpty() && !Combo0[1]->currentText().isEmpty())
            Combo0[1]->setFocus();
        return;
    }
    const bool externalRuns = ctx_.pages[1]->Running();
    EnableRun(!externalRuns);
    if (externalRuns)
        Command0[2]->setEnabled(false);
    for (int i : {3, 5, 6})
        Command0[i]->setEnabled(true);
}

void InternalPage::Combo0_KeyUp(int index, int key) {
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (index == 1) {
        QLineEdit *cycle = Combo0[1]->lineEdit();
        if (cycle->text().size() > 1) {
            cycle->setText(QStringLiteral("0"));
            cycle->setCursorPosition(1);
        }
        if (enter) {
            if (Combo0[0]->currentText().isEmpty()) {
                Combo0[0]->setFocus();
                return;
            }
            EnableRun(true);
            if (Command0[0]->isEnabled())
                Command0[0]->setFocus();
        }
        if (!CycleValid())
            EnableRun(false);
        else if (cycle->text() == u"0")
            EnableRun(true);
        return;
    }
    const bool named = !Combo0[0]->currentText().isEmpty();
    for (int i : {3, 4, 5})
        Command0[i]->setEnabled(named);
    if (ctx_.editor->CellEdited)
        Command0[4]->setEnabled(true);
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !Combo0[1]->currentText().isEmpty())
        Combo0[1]->setFocus();
}

void InternalPage::Combo0_LostFocus(int index) {
    if (index != 1)
        return;
    const bool named = !Combo0[0]->currentText().isEmpty();
    if (named && CycleValid()) {
        EnableRun(true);
        return;
    }
    // The grid's base text colour is black, not dark green: Run stays off without both boxes.
    EnableRun(false);
    if (!named)
        Command0[5]->setEnabled(false);
}

void InternalPage::Combo0_GotFocus(int index) {
    if (index != 0)
        return;
    ctx_.editor->HideEditor();
    ctx_.editor->CellEdited = false;
}

bool InternalPage::eventFilter(QObject *watched, QEvent *event) {
    for (int i = 0; i < 2; ++i) {
        if (watched != Combo0[i])
            continue;
        if (event->type() == QEvent::FocusIn)
            Combo0_GotFocus(i);
        else if (event->type() == QEvent::FocusOut && OperatorLeft(event))
            Combo0_LostFocus(i);
        else if (event->type() == QEvent::KeyRelease)
            Combo0_KeyUp(i, static_cast<QKeyEvent *>(event)->key());
    }
    return ProgramPage::eventFilter(watched, event);
}
