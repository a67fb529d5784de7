// The table flows the three program pages share, with the messages the operator has always seen.
#include "Database.h"
#include "Dialogs.h"
#include "GridEditor.h"
#include "ProgramPages.h"
#include "Tables.h"

using namespace ProgramRules;

bool PageContext::timedProgramRunning() const {
    return pages[0]->Running() || pages[1]->Running();
}

ProgramPage::ProgramPage(int index, PageContext &context, QWidget *parent)
    : QWidget(parent), Index(index), ctx_(context) {
    FGrid = new ProgramGrid(index, this);
}

bool ProgramPage::Running() const {
    return RunButton() && RunButton()->text() == u"Stop";
}

QString ProgramPage::Prefix() const {
    return Tables::Prefix(Tables::Family(Index));
}

QString ProgramPage::TableName() const {
    return Prefix() + NameBox()->currentText();
}

void ProgramPage::FocusName() {
    NameBox()->setFocus();
}

void ProgramPage::FillList(const QStringList &tableNames) {
    // Keep the box's text: refilling a list must not pick an entry of its own.
    const QString text = NameBox()->currentText();
    const QSignalBlocker quiet(NameBox());
    NameBox()->clear();
    NameBox()->addItems(UserNames(tableNames, Prefix()));
    NameBox()->setEditText(text);
}

void ProgramPage::RefillList() {
    FillList(ctx_.db.TableNames());
}

void ProgramPage::Trapped(const std::function<void()> &flow) {
    try {
        flow();
    } catch (const StoreError &e) {
        ctx_.dialogs.MsgBox(e.description());
    }
}

ProgramPage::Opened ProgramPage::OpenTable() {
    if (NameBox()->currentText().isEmpty()) {
        ctx_.dialogs.MsgBox(QStringLiteral("Please entry table name ."));
        FocusName();
        return Opened::EmptyName;
    }
    if (!ctx_.db.TableNames().contains(TableName())) {
        ctx_.dialogs.MsgBox(QStringLiteral("Find not ' ") + NameBox()->currentText() +
                            QStringLiteral(" ' table ."));
        FocusName();
        return Opened::NotFound;
    }
    ShowRecords(ctx_.db.ReadAll(TableName()), false);
    TableButton(2)->setEnabled(true);
    TableButton(3)->setEnabled(true);
    ctx_.editor->SetFGridForeColor(Index);
    return Opened::Found;
}

void ProgramPage::ReLoadTB() {
    ShowRecords(ctx_.db.ReadAll(TableName()), true);
    ReloadStates();
    ctx_.editor->SetFGridForeColor(Index);
}

bool ProgramPage::PickFromList() {
    ctx_.editor->HideEditor();
    if (NameBox()->currentText().isEmpty())
        return false;
    try {
        ReLoadTB();
    } catch (const StoreError &e) {
        ctx_.dialogs.MsgBox(e.description());
        return false;
    }
    return true;
}

QList<QStringList> ProgramPage::Records() const {
    QList<QStringList> records;
    for (const QStringList &row : FGrid->DataRows())
        records << TimedRecord(row);
    return records;
}

bool ProgramPage::SaveTable(const QString &emptyNameMessage) {
    const QString name = NameBox()->currentText();
    if (name == u"Untitle") {
        FocusName();
        return false;
    }
    if (name.isEmpty()) {
        ctx_.dialogs.MsgBox(emptyNameMessage);
        FocusName();
        return false;
    }
    if (ctx_.db.TableNames().contains(TableName()) &&
        ctx_.dialogs.MsgBox(QStringLiteral("Table already exist. Overwrte it ?"),
                            Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return false;
    // One transaction: a failure half way keeps the stored table as it was.
    ctx_.db.RewriteTable(TableName(), Tables::Fields(Tables::Family(Index)), Records());
    RefillList();
    NameBox()->setEditText(name);
    ctx_.editor->CellEdited = false;
    return true;
}

bool ProgramPage::DeleteTable() {
    const QString name = NameBox()->currentText();
    if (!ctx_.db.TableNames().contains(TableName())) {
        ctx_.dialogs.MsgBox(QStringLiteral("' ") + name + QStringLiteral(" ' table no exist !"));
        return false;
    }
    if (ctx_.dialogs.MsgBox(QStringLiteral("Are you sure to delete th table '") + name +
                                QStringLiteral("' ?"),
                            Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return false;
    ctx_.db.DeleteTable(TableName());
    RefillList();
    ctx_.editor->ClsFGrid(Index);
    NameBox()->setEditText(QStringLiteral("Untitle"));
    ctx_.editor->CellEdited = false;
    return true;
}

void ProgramPage::ClearTable() {
    ctx_.editor->ClsFGrid(Index);
    NameBox()->setEditText(QString());
}
