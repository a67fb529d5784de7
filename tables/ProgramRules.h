// The rules of the program tables, without widgets: grid shapes, cell texts and limits, the check
// when an edited cell is left, the live text while typing, the colouring and run check, and the
// mapping between stored records and grid rows.
//
// Rows are lists of cell texts by column, data rows only (grid row 1 is rows[0]).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ProgramRules {

// Grid index equals page index: 0 internal, 1 external (timed grids), 2 preset.
constexpr int PresetGrid = 2;
inline bool IsTimed(int grid) {
    return grid != PresetGrid;
}
int ColumnCount(int grid);      // 5 timed, 4 preset
int FirstValueColumn(int grid); // 1 timed, 2 preset: the columns before it are fixed
int DefaultRows(int grid);      // including the header: 11, 11, 10
constexpr int MaxExternalSteps = 100;

QStringList Headers(int grid);               // "Step", "Voltage " (trailing blank), ...
QList<int> WidthsTwips(int grid, int steps); // external grid narrows columns 1-2 past 10 steps
int TwipsToPixels(int twips);                // one ratio for every width

// The column's canonical pattern ("00.0", "0.00", "00") and zero text; empty for a fixed column.
QString Pattern(int grid, int col);
QStringList ZeroRow(int grid, int row); // a timed row "r", "00.0", "0.00", "00", "00"

// The commit check's decision for the cell being left.
struct Commit {
    QString text;    // what the cell becomes
    QString message; // shown first; empty for none
    bool recolour = false;
    bool refocus = false; // the editor gets the focus back
};
std::optional<Commit> CommitCell(int grid, int col, const QString &editorText);

// The cell text while typing: the number in general form, or in the column's pattern when it is
// in range. Read without the comma conversion ("1,5" shows 1).
std::optional<QString> LiveText(int grid, int col, const QString &editorText);

// Colouring (the run check is RunRefusal below).
enum class Colour { Default, Black, DarkGreen, Red };
struct Colouring {
    QList<QList<Colour>> cells; // by data row and column
};
Colouring ColourRows(int grid, const QList<QStringList> &rows);

// Stored records to grid rows and back. Timed families store columns 1-4; the preset family
// stores "T"/"F" for the selected row and columns 2-3.
QStringList TimedRecord(const QStringList &row);
QStringList PresetRecord(const QStringList &row, bool selected);
// A stored field in the column's grid pattern, as a pick from the list shows it.
QString Formatted(int grid, int col, const QString &stored);

// The run-cycle text: "0" runs until stopped, a leading number above 0 that many passes (2.5
// allows passes 1 and 2); anything else is refused.
bool CycleValid(const QString &cycle);
// Why a timed program cannot run, or nothing when it can: its first step needs a duration and
// every step up to the first one without a duration a current above 0. The colouring's run check
// and the start of a run both ask this.
std::optional<QString> RunRefusal(const QList<QStringList> &rows);
// Steps of a timed program: the rows before the first one without a duration.
int CountSteps(const QList<QStringList> &rows);
qint64 StepMs(const QStringList &row); // minutes x 60000 + seconds x 1000
// Moves (step, pass) on to the next step; false when the last pass is over.
bool NextStep(int &step, int &pass, int steps, const QString &cycle);
// How the wait for the next step is armed: a step timer of at most one minute, else minute
// slices counted down by a second timer.
struct Arming {
    bool slices;
    int intervalMs;
};
Arming ArmFor(qint64 remainingMs);

// The typed names of the stored tables of one family ("A_x" -> "x"), in catalogue order.
QStringList UserNames(const QStringList &tableNames, const QString &prefix);

} // namespace ProgramRules
