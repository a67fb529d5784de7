// The "Internal Timed Program" page: its table buttons and name box. The supply buttons (Run,
// Read, Save to power supply) arrive with the program runs.
#include "Database.h"
#include "Dialogs.h"
#include "GridEditor.h"
#include "Module1.h"
#include "PageLayout.h"

#include <QKeyEvent>

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
    connect(Combo0[0], &QComboBox::activated, this, [this] { Combo0_Click(0); });
    for (QComboBox *box : Combo0)
        box->lineEdit()->installEventFilter(this);
}

void InternalPage::SetUp() {
    ctx_.editor->ClsFGrid(Index);
    Combo0[0]->setEditText(QStringLiteral("Untitle"));
    Combo0[1]->setEditText(QStringLiteral("0"));
    // Nothing to save or open yet: typing, a read or a pick from the list enables the rest.
    for (int i = 2; i <= 6; ++i)
        Command0[i]->setEnabled(false);
}

void InternalPage::Command0_Click(int index) {
    ctx_.editor->HideEditor();
    Trapped([&] {
        switch (index) {
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
            Combo0[0]->setEditText(QStringLiteral("Untitle"));
            for (int i : {0, 2, 3, 4, 5, 6})
                Command0[i]->setEnabled(false);
            break;
        default:
            break; // the supply buttons come with the program runs
        }
    });
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
    if (index != 0)
        return;
    if (!PickFromList()) {
        if (Combo0[0]->currentText().isEmpty() && !Combo0[1]->currentText().isEmpty())
            Combo0[1]->setFocus();
        return;
    }
    const bool externalRuns = ctx_.pages[1]->Running();
    Command0[0]->setEnabled(!externalRuns);
    if (externalRuns)
        Command0[2]->setEnabled(false);
    for (int i : {3, 5, 6})
        Command0[i]->setEnabled(true);
}

void InternalPage::Combo0_KeyUp(int index, int key) {
    if (index != 0)
        return;
    const bool named = !Combo0[0]->currentText().isEmpty();
    for (int i : {3, 4, 5})
        Command0[i]->setEnabled(named);
    if (ctx_.editor->CellEdited)
        Command0[4]->setEnabled(true);
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !Combo0[1]->currentText().isEmpty())
        Combo0[1]->setFocus();
}

void InternalPage::Combo0_GotFocus(int index) {
    if (index != 0)
        return;
    ctx_.editor->HideEditor();
    ctx_.editor->CellEdited = false;
}

bool InternalPage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Combo0[0]->lineEdit()) {
        if (event->type() == QEvent::FocusIn)
            Combo0_GotFocus(0);
        else if (event->type() == QEvent::KeyRelease)
            Combo0_KeyUp(0, static_cast<QKeyEvent *>(event)->key());
    }
    return ProgramPage::eventFilter(watched, event);
}
