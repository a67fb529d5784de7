// The table flows the three program pages share, with the messages the operator has always seen.
#include "Comm1.h"
#include "Database.h"
#include "Dialogs.h"
#include "GridEditor.h"
#include "Module1.h"
#include "ProgramPages.h"
#include "Tables.h"

#include <QFocusEvent>
#include <QTabWidget>

using namespace ProgramRules;

bool PageContext::timedProgramRunning() const {
    return pages[0]->Running() || pages[1]->Running();
}

namespace {
// The button arrays of the three pages, in the order the saved states keep them.
template <typename F> void forEachArray(PageContext &c, EnableStates &s, F &&f) {
    auto &i = static_cast<InternalPage &>(*c.pages[0]);
    auto &e = static_cast<ExternalPage &>(*c.pages[1]);
    auto &p = static_cast<PresetPage &>(*c.pages[2]);
    f(i.Command0, s.command0);
    f(e.Command1, s.command1);
    f(p.Command2, s.command2);
    f(c.SetReset, s.command4);
}
} // namespace

void PageContext::SaveEnableStates() {
    forEachArray(*this, saved, [](auto &buttons, auto &states) {
        for (size_t k = 0; k < states.size(); ++k)
            states[k] = buttons[k]->isEnabled();
    });
    for (size_t k = 0; k < 2; ++k)
        saved.option3[k] = Option3[k] && Option3[k]->isChecked();
}

void PageContext::RestoreEnableStates() {
    forEachArray(*this, saved, [](auto &buttons, auto &states) {
        for (size_t k = 0; k < states.size(); ++k)
            buttons[k]->setEnabled(states[k]);
    });
}

void PageContext::LockSetpoints(bool locked) {
    for (QLineEdit *box : Setpoints)
        if (box)
            box->setEnabled(!locked);
}

void PageContext::ShowTitle(const QString &tail) {
    Tab1->window()->setWindowTitle(QStringLiteral(" QVR 2.0") + QStringLiteral(" [") +
                                   Tab1->tabText(Tab1->currentIndex()).trimmed() + tail + u']');
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

void ProgramPage::SetName(const QString &text) {
    NameBox()->setEditText(text);
    NameChanged();
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
    } catch (const CommError &e) {
        ctx_.LinkLost(e.description());
    } catch (const std::runtime_error &e) { // the database's own description, or a refusal
        ctx_.dialogs.MsgBox(QString::fromStdString(e.what()));
    }
}

bool ProgramPage::LeaveEditor(Grid use) {
    if (use == Grid::Read && !ctx_.editor->CommitEditing(Index))
        return false;
    if (use == Grid::Emptied)
        ctx_.editor->Quietly([this] { ctx_.editor->HideEditor(); });
    else
        ctx_.editor->HideEditor();
    return true;
}

bool ProgramPage::OperatorLeft(const QEvent *focusOut) {
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(focusOut)->reason();
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

bool ProgramPage::RunPossible() const {
    if (!RunButton())
        return false;
    for (const ProgramPage *page : ctx_.pages)
        if (page != this && page->Running())
            return false;
    return RunCycleOk() && !RunRefusal(FGrid->DataRows());
}

void ProgramPage::EnableRun(bool on) {
    QPushButton *run = RunButton();
    if (!run || Running())
        return;
    const bool enabled = on && RunPossible();
    if (run->isEnabled() != enabled)
        run->setEnabled(enabled);
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

bool ProgramPage::PreChecks(bool otherProgramRuns) {
    if (!Module1::Connected) {
        ctx_.dialogs.MsgBox(Module1::NotReadyMsg);
        return false;
    }
    if (otherProgramRuns) {
        ctx_.dialogs.MsgBox(window()->windowTitle());
        return false;
    }
    return true;
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
                            Dialogs::Buttons::YesNoSafe) != Dialogs::Answer::Yes)
        return false;
    // One transaction: a failure half way keeps the stored table as it was.
    ctx_.db.RewriteTable(TableName(), Tables::Fields(Tables::Family(Index)), Records());
    RefillList();
    SetName(name);
    ctx_.editor->CellEdited = false;
    ctx_.Tell(QStringLiteral("Table '%1' saved").arg(name));
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
                            Dialogs::Buttons::YesNoSafe) != Dialogs::Answer::Yes)
        return false;
    ctx_.db.DeleteTable(TableName());
    RefillList();
    ctx_.editor->ClsFGrid(Index);
    SetName(QStringLiteral("Untitle"));
    ctx_.editor->CellEdited = false;
    return true;
}

void ProgramPage::ClearTable() {
    ctx_.editor->ClsFGrid(Index);
    SetName(QString());
}
