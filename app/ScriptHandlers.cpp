#include "ScriptHandlers.h"

#include "Comm1.h"
#include "CounterBox.h"
#include "DataLogPage.h"
#include "GridEditor.h"
#include "Module1.h"
#include "Panel.h"
#include "Setpoints.h"
#include "TabbedFrm.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

using Module1::Format;
using Result = Supply::Result;
using Refusal = Supply::Refusal;

Supply::Handlers ScriptHandlers::Bound() {
    Supply::Handlers h;
    h.sendVolt = [this](float volts) { return SetBox(0, volts); };
    h.sendCurr = [this](float amps) { return SetBox(1, amps); };
    h.poll = [this] { return FreshPoll(); };
    h.runTable = [this](Supply::Where where, const QString &table, int cycles) {
        return StartTable(where, table, cycles);
    };
    h.stop = [this] { return StopRun(); };
    h.recall = [this](int memory) { return RecallMemory(memory); };
    h.zeroCounters = [this] { w_.panel->Counters->ZeroButton_Click(); };
    h.record = [this](bool on, const QString &file) { return RecordTo(on, file); };
    h.busy = [this] { return OperatorBusy(); };
    h.armGuards = [this](const Guards::Plan &plan) { return w_.ArmGuards(plan); };
    return h;
}

template <typename F> Result ScriptHandlers::Routed(F &&f) {
    QStringList said;
    QStringList *const outer = w_.routed_.Captured(); // a guard acting under a script's command
    w_.routed_.Capture(&said);
    try {
        f();
    } catch (...) {
        w_.routed_.Capture(outer);
        throw;
    }
    w_.routed_.Capture(outer);
    w_.SyncSupply(); // what runs now, for the script's next question
    if (!said.isEmpty())
        return {Refusal::Failed, said.join(u' ')};
    return {};
}

Result ScriptHandlers::Lost(const QString &description) {
    QTimer::singleShot(0, &w_, [w = &w_, description] { w->PortLost(description); });
    return {Refusal::NoSupply, description};
}

QString ScriptHandlers::OperatorBusy() const {
    if (Module1::CurCmd == u"SRST")
        return QStringLiteral("the supply is being reset");
    if (!w_.centralWidget()->isEnabled())
        return QStringLiteral("the Options dialog is open");
    if (QApplication::activeModalWidget())
        return QStringLiteral("a message waits for the operator");
    return {};
}

Result ScriptHandlers::SetBox(int box, float value) {
    // The exchange runs to its end on this thread, so no poll comes between; Timer1 keeps its
    // phase, since stopping and starting it would put the next poll off with every setting.
    try {
        if (box == 0)
            Setpoints::SendVolt(w_.comm1_, w_.clock_, value);
        else
            Setpoints::SendCurr(w_.comm1_, w_.clock_, value);
    } catch (const CommError &e) {
        return Lost(e.description());
    }
    // The panel shows what the supply was told, as after the operator's "Set".
    Panel &p = *w_.panel;
    p.SetpointsFromOutput = false;
    p.OwnSetpoints = true;
    p.Text2[size_t(box)]->setText(box == 0 ? Format(value, QStringLiteral("00.0")) + u'V'
                                           : Format(value, QStringLiteral("0.00")) + u'A');
    p.CheckSetpoints();
    w_.pages_.RecalledMemory = 0;
    w_.SyncSupply();
    Module1::CurCmd = QStringLiteral("GETD");
    return {};
}

Result ScriptHandlers::FreshPoll() {
    // A step due sooner than a poll would take goes first; the last poll's reading is fresh.
    if (w_.externalPage->StepDueWithin(250))
        return {};
    // This is a poll: the next is due a poll's time after it.
    const bool polling = w_.Timer1->isActive();
    try {
        w_.PollOutputState();
    } catch (const CommError &e) {
        return Lost(e.description());
    }
    if (polling)
        w_.Timer1->start();
    return {};
}

Result ScriptHandlers::StartTable(Supply::Where where, const QString &table, int cycles) {
    const bool internal = where == Supply::Where::Internal;
    ProgramPage &page = internal ? static_cast<ProgramPage &>(*w_.internalPage)
                                 : static_cast<ProgramPage &>(*w_.externalPage);
    const QString caption = TabbedFrm::PageCaptions[page.Index].trimmed();
    // Never a value the operator is typing into one of the page's cells: it would go into the
    // script's program. An editor left open over a cell it has not changed is closed as Open Table
    // does.
    QLineEdit *editor = w_.editor->Text5;
    if (!editor->isHidden() && editor->parentWidget() == page.FGrid->viewport()) {
        if (editor->text() != page.FGrid->TextMatrix(page.FGrid->Row(), page.FGrid->Col()))
            return {Refusal::Conflict,
                    QStringLiteral("a cell is being edited on the %1 page").arg(caption)};
        w_.editor->Quietly([&] { w_.editor->HideEditor(); });
    }
    // The operator's unsaved table is never replaced on a script's behalf: Save is enabled and
    // the grid holds more than zeros.
    QPushButton *save = internal ? w_.internalPage->Command0[4] : w_.externalPage->Command1[3];
    bool zeros = true;
    for (const QStringList &row : page.FGrid->DataRows())
        for (qsizetype c = 1; c < row.size(); ++c)
            zeros = zeros && Module1::LeadingNumber(row[c]) == 0;
    if (save->isEnabled() && !zeros)
        return {Refusal::Conflict,
                QStringLiteral("the table on the %1 page is not saved").arg(caption)};
    if (page.NameBox()->findText(table, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0)
        return {Refusal::Failed,
                QStringLiteral("there is no table \"%1\" on the %2 page").arg(table, caption)};
    Result r = Routed([&] {
        page.SetName(table);
        page.ReLoadTB();
        QComboBox *cycleBox = internal ? w_.internalPage->Combo0[1] : w_.externalPage->Combo1[1];
        cycleBox->setEditText(QString::number(cycles));
        if (internal)
            w_.internalPage->Command0_Click(0);
        else
            w_.externalPage->Command1_Click(0);
    });
    if (r.ok() && !page.Running())
        return {Refusal::Failed, w_.windowTitle().trimmed()}; // the page's refusal is its title
    return r;
}

Result ScriptHandlers::StopRun() {
    return Routed([&] {
        if (w_.internalPage->Running())
            w_.internalPage->Command0_Click(0);
        else if (w_.externalPage->Running())
            w_.externalPage->Command1_Click(0);
    });
}

Result ScriptHandlers::RecallMemory(int memory) {
    PresetPage &page = *w_.presetPage;
    const float v = float(Module1::LeadingNumber(page.FGrid->TextMatrix(memory, 2)));
    const float i = float(Module1::LeadingNumber(page.FGrid->TextMatrix(memory, 3)));
    if (!(v > 0 && v <= Module1::MaxVolt && i > 0 && i <= Module1::MaxCurr))
        return {Refusal::Failed,
                QStringLiteral("memory %1 on the preset page holds no setpoints to recall")
                    .arg(memory)};
    return Routed([&] {
        page.FGrid->SetOption(memory, true);
        page.Option1_Click(memory);
        page.Command2_Click(0);
    });
}

Result ScriptHandlers::RecordTo(bool on, const QString &file) {
    DataLogPage &log = *w_.dataLogPage;
    if (!on) {
        if (log.Rec.Active())
            log.StopRecording();
        return {};
    }
    if (log.Rec.Active())
        return {Refusal::Conflict, QStringLiteral("a recording to %1 runs").arg(log.Rec.Path())};
    // A relative name lies in the folder QVR was started from, as on its command line.
    const QString why = log.TryRecording(QDir::current().absoluteFilePath(file));
    return why.isEmpty() ? Result() : Result{Refusal::Failed, why};
}
