// The "External Timed Program" page: its table buttons, name box, "New" and the row-count box.
// Run and its stepping arrive with the program runs.
#include "Database.h"
#include "Dialogs.h"
#include "GridEditor.h"
#include "Module1.h"
#include "PageLayout.h"

#include <QKeyEvent>

using namespace ProgramRules;

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
    rowsLayout->addStretch();

    PageLayout::Build(this, top, rows, Command1, QStringLiteral("Command1"),
                      QStringList{"Run", "New"} + PageLayout::TableButtons);
    for (int i = 0; i < 6; ++i)
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    connect(Combo1[0], &QComboBox::activated, this, [this] { Combo1_Click(0); });
    connect(Combo1[0], &QComboBox::editTextChanged, this, [this] { Combo1_Change(0); });
    Text1->installEventFilter(this);
    Combo1[0]->lineEdit()->installEventFilter(this);
}

void ExternalPage::SetUp() {
    ctx_.editor->ClsFGrid(Index);
    Text1->setText(QStringLiteral("10"));
    Combo1[1]->setEditText(QStringLiteral("0"));
    Command1[4]->setEnabled(false);
    Command1[5]->setEnabled(false);
    Combo1[0]->setEditText(QStringLiteral("Untitle")); // the change rule enables Open and Save
}

void ExternalPage::Command1_Click(int index) {
    ctx_.editor->HideEditor();
    Trapped([&] {
        switch (index) {
        case 1:
            NewTable();
            break;
        case 2:
            if (OpenTable() != Opened::Found)
                return;
            Command1[0]->setEnabled(true);
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
            Combo1[0]->setEditText(QStringLiteral("Untitle"));
            break;
        default:
            break; // Run comes with the program runs
        }
    });
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

void ExternalPage::ReloadStates() {
    Command1[4]->setEnabled(true);
    Command1[5]->setEnabled(true);
    const bool cycle = !Combo1[1]->currentText().isEmpty();
    Command1[0]->setEnabled(cycle);
    if (!cycle)
        Combo1[1]->setFocus();
    Command1[2]->setEnabled(false);
    Command1[3]->setEnabled(false);
}

void ExternalPage::Combo1_Click(int index) {
    if (index != 0)
        return;
    if (!PickFromList())
        return;
    // The cycle value: "0", or a leading number above 0.
    const QString cycle = Combo1[1]->currentText();
    if (cycle != u"0" && !(Module1::LeadingNumber(cycle) > 0)) {
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
    Combo1[0]->setEditText(QStringLiteral("Untitle"));
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
    } else if (watched == Combo1[0]->lineEdit() && event->type() == QEvent::FocusIn) {
        ctx_.editor->HideEditor();
    }
    return ProgramPage::eventFilter(watched, event);
}
