// The "Internal Preset Memory" page: the supply's nine memories read, written and applied, with
// the page's table buttons, name box and memory selection.
#include "Comm1.h"
#include "Database.h"
#include "Dialogs.h"
#include "Exchange.h"
#include "GridEditor.h"
#include "Module1.h"
#include "PageLayout.h"
#include "ProgramLink.h"
#include "Setpoints.h"

#include <QEvent>
#include <QTimer>

using namespace ProgramRules;

PresetPage::PresetPage(PageContext &context, QWidget *parent) : ProgramPage(2, context, parent) {
    Combo2 = PageLayout::NameBox(this, false);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Table:"), this));
    top->addWidget(Combo2, 1);
    top->addStretch();
    PageLayout::Build(this, top, nullptr, Command2, QStringLiteral("Command2"),
                      QStringList{"Run", "Read from power supply", "Save to power supply"} +
                          PageLayout::TableButtons);
    for (int i = 0; i < 7; ++i)
        connect(Command2[i], &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
    connect(Combo2, &QComboBox::activated, this, &PresetPage::Combo2_Click);
    connect(Combo2, &QComboBox::editTextChanged, this, &PresetPage::Combo2_Change);
    connect(FGrid, &ProgramGrid::optionClicked, this, &PresetPage::Option1_Click);
    Combo2->installEventFilter(this); // where a combo box's focus arrives
}

void PresetPage::SetUp() {
    for (int r = 1; r < FGrid->Rows(); ++r)
        FGrid->SetTextMatrix(r, 1, ZeroRow(Index, r)[1]);
    FGrid->SetOption(1, true);
    ctx_.editor->ClsFGrid(Index);
    SetName(QStringLiteral("Untitle"));
    for (int i = 0; i < 7; ++i)
        Command2[i]->setEnabled(i == 1); // only "Read from power supply"
}

bool PresetPage::PortReady() {
    if (ctx_.port.PortOpen())
        return true;
    ctx_.dialogs.MsgBox(QStringLiteral("Communications no ready ."));
    return false;
}

void PresetPage::Command2_Click(int index) {
    // Run, Save to power supply and Save Table read the grid: the cell being edited first.
    const bool reads = index == 0 || index == 2 || index == 4;
    if (!LeaveEditor(reads ? Grid::Read : index == 6 ? Grid::Emptied : Grid::Other))
        return;
    if (index <= 2 && !PreChecks(ctx_.timedProgramRunning()))
        return;
    Trapped([&] {
        switch (index) {
        case 0:
            ApplyMemory();
            break;
        case 1:
            ReadMemories();
            break;
        case 2:
            WriteMemories();
            break;
        case 3:
            OpenTable();
            break;
        case 4:
            if (SaveTable(QStringLiteral("Please entry table name .")))
                Command2[4]->setEnabled(false);
            break;
        case 5:
            if (DeleteTable())
                for (int i = 0; i < 7; ++i)
                    Command2[i]->setEnabled(i == 1);
            break;
        case 6:
            ClearTable();
            for (int i : {0, 2, 3, 4, 5, 6})
                Command2[i]->setEnabled(false);
            SetName(QStringLiteral("Untitle"));
            break;
        default:
            break;
        }
    });
}

void PresetPage::ReadMemories() {
    if (!PortReady())
        return;
    ctx_.Timer1->stop();
    const QByteArray reply = ProgramLink::ReadMemories(ctx_.port, ctx_.clock);
    if (reply.size() < ProgramLink::GetmWait.minChars) {
        ctx_.dialogs.MsgBox(QStringLiteral("Read error ."));
        ctx_.Timer1->start();
        return;
    }
    for (int k = 1; k <= 9; ++k) {
        const auto [volt, curr] = ProgramLink::ParseMemory(reply, k);
        FGrid->SetTextMatrix(k, 2, volt);
        FGrid->SetTextMatrix(k, 3, curr);
    }
    ctx_.editor->SetFGridForeColor(Index);
    for (int i : {0, 4, 6})
        Command2[size_t(i)]->setEnabled(true);
    ctx_.Timer1->start();
}

std::pair<float, float> PresetPage::Memory(int k, bool commaConversion) const {
    const auto value = [&](int col) {
        const QString text = FGrid->TextMatrix(k, col);
        return float(
            Module1::LeadingNumber(commaConversion ? Module1::NormDecimalStr(text) : text));
    };
    return {value(2), value(3)};
}

void PresetPage::WriteMemories() {
    if (!PortReady())
        return;
    // "1,5" is sent as 1.5 V here; every line is built before the first goes out.
    QList<std::pair<float, float>> memories;
    for (int k = 1; k <= 9; ++k)
        memories << Memory(k, true);
    const QList<QByteArray> lines = ProgramLink::PromLines(memories);
    ctx_.Timer1->stop();
    // One PROM a memory, no retry; the ones the supply did not confirm are named after.
    const QList<int> refused = ProgramLink::WriteMemories(ctx_.port, ctx_.clock, lines);
    ctx_.Timer1->start();
    if (!refused.isEmpty())
        ctx_.dialogs.MsgBox(ProgramLink::NotAcceptedMessage(QStringLiteral("memory"), refused));
    else
        ctx_.Tell(QStringLiteral("Memories written to the supply (%1)").arg(lines.size()));
}

void PresetPage::ApplyMemory() {
    const int k = FGrid->SelectedOption();
    if (!k)
        return;
    // The texts as they stand: "1,5" is 1 V here, as it always was for Run.
    const auto [volts, amps] = Memory(k, false);
    const QByteArray line = ProgramLink::CheckedPromLine(k, volts, amps);
    ctx_.Timer1->stop();
    const bool written = ProgramLink::WriteMemory(ctx_.port, ctx_.clock, line);
    // A memory the supply did not take holds other setpoints: it is not recalled.
    if (written) {
        Exchange(ctx_.port, ctx_.clock, ProgramLink::RunmLine(k), ProgramLink::RunmWait);
        Setpoints::LastSent = {volts, amps};
        ctx_.RecalledMemory = k;
        ctx_.Note(QStringLiteral("preset memory %1 recalled: %2 V %3 A")
                      .arg(k)
                      .arg(Module1::Format(volts, QStringLiteral("0.0")),
                           Module1::Format(amps, QStringLiteral("0.00"))));
    }
    ctx_.Timer1->start();
    if (!written)
        ctx_.dialogs.MsgBox(ProgramLink::NotAcceptedMessage(QStringLiteral("memory"), {k}) +
                            QStringLiteral(" It was not recalled ."));
}

void PresetPage::ShowRecords(const QList<QStringList> &records, bool formatted) {
    for (int r = 1; r < FGrid->Rows(); ++r) {
        const QStringList record = records.value(r - 1);
        if (record.isEmpty()) {
            FGrid->SetDataRow(r, ZeroRow(Index, r)); // a short table leaves no stale memories
            continue;
        }
        // Opening selects the stored row; a pick from the list also clears the others.
        if (record.value(0) == u"T" || formatted)
            FGrid->SetOption(r, record.value(0) == u"T");
        for (int c = 2; c <= 3; ++c) {
            const QString stored = record.value(c - 1);
            FGrid->SetTextMatrix(r, c, formatted ? Formatted(Index, c, stored) : stored);
        }
    }
}

QList<QStringList> PresetPage::Records() const {
    QList<QStringList> records;
    const int selected = FGrid->SelectedOption();
    const QList<QStringList> rows = FGrid->DataRows();
    for (int r = 0; r < rows.size(); ++r)
        records << PresetRecord(rows[r], r + 1 == selected);
    return records;
}

void PresetPage::ReloadStates() {
    for (int i : {0, 3, 5, 6})
        Command2[i]->setEnabled(true);
    Command2[4]->setEnabled(false);
}

void PresetPage::Combo2_Click() {
    if (!PickFromList())
        return;
    if (ctx_.timedProgramRunning()) {
        for (int i : {0, 1, 2})
            Command2[i]->setEnabled(false);
        // What the running program gives back when it ends.
        for (int i : {0, 1, 2, 3, 5, 6})
            ctx_.saved.command2[size_t(i)] = true;
        Command2[6]->setEnabled(true);
    } else {
        for (int i : {1, 2, 6})
            Command2[i]->setEnabled(true);
    }
}

void PresetPage::Combo2_Change() {
    const QString name = Combo2->currentText();
    if (name.isEmpty()) {
        for (int i : {3, 4, 5})
            Command2[i]->setEnabled(false);
    } else if (name == u"Untitle") {
        Command2[3]->setEnabled(true);
    } else {
        for (int i : {2, 3, 4, 5})
            Command2[i]->setEnabled(true);
    }
}

void PresetPage::CellTyped() {
    if (ctx_.timedProgramRunning()) {
        Command2[2]->setEnabled(false);
        return;
    }
    for (int i : {2, 4, 6})
        Command2[i]->setEnabled(true);
}

void PresetPage::Option1_Click(int row) {
    const float v = float(Module1::LeadingNumber(FGrid->TextMatrix(row, 2)));
    const float i = float(Module1::LeadingNumber(FGrid->TextMatrix(row, 3)));
    if (v > 0 && v <= Module1::MaxVolt && i > 0 && i <= Module1::MaxCurr)
        Command2[0]->setEnabled(!ctx_.timedProgramRunning());
}

bool PresetPage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Combo2 && event->type() == QEvent::FocusIn)
        ctx_.editor->HideEditor();
    return ProgramPage::eventFilter(watched, event);
}
