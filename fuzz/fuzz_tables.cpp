// Stored program and log tables as they are read back: any field texts, any number of rows,
// through the grid's patterns, its checks, the colouring and the run check, the step arithmetic and
// the log slots.
#include "FuzzInput.h"
#include "LogTables.h"
#include "Module1.h"
#include "ProgramRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);
    using namespace ProgramRules;
    Module1::MaxVolt = float(in.byte()) / 10;
    Module1::MaxCurr = float(in.byte()) / 100;
    const int grid = in.byte() % 3;
    QList<QStringList> rows;
    for (int r = in.byte() % 120; r > 0; --r) {
        QStringList row{QString::number(r)};
        for (int c = 1; c < ColumnCount(grid); ++c)
            row << in.text(12);
        rows << row;
        for (int c = 0; c < ColumnCount(grid); ++c) {
            Formatted(grid, c, row.value(c));
            CommitCell(grid, c, row.value(c));
            LiveText(grid, c, row.value(c));
        }
    }
    ColourRows(grid, rows);
    RunRefusal(rows);
    const int steps = CountSteps(rows);
    const QString cycle = in.text(9);
    if (CycleValid(cycle) && steps > 0) {
        int step = 0, pass = 1;
        for (int i = 0; i < 300 && NextStep(step, pass, steps, cycle); ++i)
            ArmFor(StepMs(rows[step - 1]));
    }
    for (const QStringList &row : rows)
        PresetRecord(row, true), TimedRecord(row);
    const auto [volt, curr] = LogTables::ParseSlot(in.text(10));
    LogTables::SlotText(volt, curr);
    LogTables::IntervalMs(in.text(12));
    return 0;
}
