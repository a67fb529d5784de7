#include "ProgramRules.h"

#include "Module1.h"

#include <algorithm>

using namespace Module1;

namespace ProgramRules {

namespace {

// A cell's number as the checks read it: comma conversion, then the leading-number parse.
double value(const QString &text) {
    return LeadingNumber(NormDecimalStr(text));
}

enum class Kind { Fixed, Volt, Curr, Minute, Second };

Kind kindOf(int grid, int col) {
    if (IsTimed(grid)) {
        static const Kind timed[] = {Kind::Fixed, Kind::Volt, Kind::Curr, Kind::Minute,
                                     Kind::Second};
        return col >= 0 && col < 5 ? timed[col] : Kind::Fixed;
    }
    return col == 2 ? Kind::Volt : col == 3 ? Kind::Curr : Kind::Fixed;
}

// The messages of the commit check. The timed grids end the precision clause without a blank
// before the point, the preset grid with one.
QString voltMessage(int grid) {
    return QStringLiteral("Voltage must be 0 or ") + NumStr(0.1f) + QStringLiteral(" - ") +
           NumStr(MaxVolt) +
           (IsTimed(grid) ? QStringLiteral(" and 1 digit of precision.")
                          : QStringLiteral(" and 1 digit of precision ."));
}

QString currMessage(int grid) {
    return QStringLiteral("Current must be ") + NumStr(0.01f) + QStringLiteral(" - ") +
           NumStr(MaxCurr) +
           (IsTimed(grid) ? QStringLiteral(" and 2 digit of precision.")
                          : QStringLiteral(" and 2 digit of precision ."));
}

bool zero(const QString &text) {
    return value(text) == 0;
}

} // namespace

int ColumnCount(int grid) {
    return IsTimed(grid) ? 5 : 4;
}

int FirstValueColumn(int grid) {
    return IsTimed(grid) ? 1 : 2;
}

int DefaultRows(int grid) {
    return IsTimed(grid) ? 11 : 10;
}

QStringList Headers(int grid) {
    if (IsTimed(grid))
        return {"Step", "Voltage ", "Current", "Minute", "Second"};
    return {"Option", "Preset", "Voltage ", "Current"};
}

QList<int> WidthsTwips(int grid, int steps) {
    if (!IsTimed(grid))
        return {800, 800, 1490, 1500};
    const int wide = steps > 10 ? 1070 : 1200; // room for the vertical scroll bar
    return {600, wide, wide, 800, 800};
}

int TwipsToPixels(int twips) {
    return (twips + 6) / 12;
}

QString Pattern(int grid, int col) {
    switch (kindOf(grid, col)) {
    case Kind::Volt:
        return QStringLiteral("00.0");
    case Kind::Curr:
        return QStringLiteral("0.00");
    case Kind::Minute:
    case Kind::Second:
        return QStringLiteral("00");
    case Kind::Fixed:
        break;
    }
    return QString();
}

QStringList ZeroRow(int grid, int row) {
    if (IsTimed(grid))
        return {QString::number(row), "00.0", "0.00", "00", "00"};
    return {QString(), StrSigned(row), "00.0", "0.00"};
}

std::optional<Commit> CommitCell(int grid, int col, const QString &editorText) {
    const float v = float(value(editorText));
    const QString pattern = Pattern(grid, col);
    switch (kindOf(grid, col)) {
    case Kind::Volt:
        if (v >= 0 && v <= MaxVolt)
            return Commit{Format(v, pattern), QString(), false, false};
        return Commit{pattern, voltMessage(grid), false, true};
    case Kind::Curr:
        if (v > 0 && v <= MaxCurr)
            return Commit{Format(v, pattern), QString(), false, false};
        // The timed grids recolour: a zero current turns its cell red and may forbid Run.
        return Commit{pattern, currMessage(grid), IsTimed(grid), true};
    case Kind::Minute:
    case Kind::Second: {
        const bool minute = kindOf(grid, col) == Kind::Minute;
        if (v > 0 && v <= (minute ? 99 : 59))
            return Commit{Format(v, pattern), QString(), false, false};
        if (v == 0)
            return Commit{pattern, QString(), false, true};
        return Commit{pattern,
                      minute ? QStringLiteral("The minute value must be between 1 and 99 .")
                             : QStringLiteral("The second value must be between 1 and 59 ."),
                      true, true};
    }
    case Kind::Fixed:
        break;
    }
    return std::nullopt;
}

std::optional<QString> LiveText(int grid, int col, const QString &editorText) {
    const double w = LeadingNumber(editorText);
    const float f = float(std::clamp(w, -1e30, 1e30));
    bool inRange = false;
    switch (kindOf(grid, col)) {
    case Kind::Volt:
        inRange = f >= 0 && f <= MaxVolt;
        break;
    case Kind::Curr:
        inRange = f >= 0 && f <= MaxCurr;
        break;
    case Kind::Minute:
        inRange = w >= 0 && w < 100;
        break;
    case Kind::Second:
        inRange = w >= 0 && w < 60;
        break;
    case Kind::Fixed:
        return std::nullopt;
    }
    return inRange ? Format(w, Pattern(grid, col)) : NumStr(w);
}

Colouring ColourRows(int grid, const QList<QStringList> &rows) {
    Colouring out;
    if (!IsTimed(grid)) {
        for (const QStringList &row : rows) {
            const float v = float(value(row.value(2))), i = float(value(row.value(3)));
            const auto ok = [](bool good) { return good ? Colour::DarkGreen : Colour::Red; };
            out.cells << QList<Colour>{Colour::Default, Colour::Default, ok(v >= 0 && v <= MaxVolt),
                                       ok(i > 0 && i <= MaxCurr)};
        }
        return out;
    }
    // Rows up to and including the first one without a duration (the terminator) are coloured
    // by their state; every row after it is black.
    const int steps = CountSteps(rows);
    for (int r = 0; r < rows.size(); ++r) {
        QList<Colour> cells(5, Colour::Black);
        cells[0] = Colour::Default;
        if (r < steps) {
            cells[1] = cells[3] = cells[4] = Colour::DarkGreen;
            cells[2] = zero(rows[r].value(2)) ? Colour::Red : Colour::DarkGreen;
        }
        out.cells << cells;
    }
    return out;
}

QStringList TimedRecord(const QStringList &row) {
    return row.mid(1, 4);
}

QStringList PresetRecord(const QStringList &row, bool selected) {
    return {selected ? QStringLiteral("T") : QStringLiteral("F"), row.value(2), row.value(3)};
}

QString Formatted(int grid, int col, const QString &stored) {
    return Format(value(stored), Pattern(grid, col));
}

bool CycleValid(const QString &cycle) {
    return cycle == u"0" || LeadingNumber(cycle) > 0;
}

std::optional<QString> RunRefusal(const QList<QStringList> &rows) {
    const int steps = CountSteps(rows);
    if (steps == 0) // such a run would send step 1 and wait for its zero time for ever
        return QStringLiteral("Step 1 has no time: give it minutes or seconds .");
    for (int r = 0; r < steps; ++r)
        if (zero(rows[r].value(2)))
            return QStringLiteral("Step %1 has no current: give it a current above 0 .").arg(r + 1);
    return std::nullopt;
}

qint64 StepMs(const QStringList &row) {
    return qint64(value(row.value(3)) * 60000 + value(row.value(4)) * 1000);
}

int CountSteps(const QList<QStringList> &rows) {
    int n = 0;
    while (n < rows.size() && !(zero(rows[n].value(3)) && zero(rows[n].value(4))))
        ++n;
    return n;
}

bool NextStep(int &step, int &pass, int steps, const QString &cycle) {
    if (++step <= steps)
        return true;
    if (cycle == u"0") {
        step = 1;
        return true;
    }
    if (++pass <= LeadingNumber(cycle)) {
        step = 1;
        return true;
    }
    return false;
}

Arming ArmFor(qint64 remainingMs) {
    if (remainingMs > 60000)
        return {true, 60000};
    return {false, int(std::max<qint64>(remainingMs, 0))};
}

QStringList UserNames(const QStringList &tableNames, const QString &prefix) {
    QStringList names;
    for (const QString &name : tableNames)
        if (name.startsWith(prefix, Qt::CaseSensitive))
            names << name.mid(prefix.size());
    return names;
}

} // namespace ProgramRules
