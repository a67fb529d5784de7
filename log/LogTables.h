// Log tables: a snapshot of the live store as 100 rows of 36 eight-character texts, named
// "D_" + two characters of sampling interval + the operator's log name. A small catalogue table
// of the program's own keeps when each log table was created.
#pragma once

#include "Database.h"

#include <QDateTime>
#include <optional>

class SampleStore;

namespace LogTables {

constexpr int Rows = 100, Fields = 36;
inline const QString Empty = QStringLiteral("99.99.99"); // a slot without a sample
inline const QString Catalogue = QStringLiteral("QVRLOG");

// "D__5" at 500 ms, else "D_" + whole seconds in two digits ("D_02", "D_60").
QString Prefix(qint64 sampleMs);
QList<FieldDef> FieldDefs(); // VC0 ... VC35, eight characters each
// Voltage "00.0" then current "0.00": 12.3 V, 1.5 A give "12.31.50".
QString SlotText(float volt, float curr);
// Back to the pair; -1, -1 for "99.99.99".
std::pair<float, float> ParseSlot(const QString &text);
// 500 ms when the third character is "_", else characters 3-4 as seconds.
qint64 IntervalMs(const QString &tableName);

// The log names of the catalogue: every "D_" table from its fifth character on, in order.
QStringList Names(const QStringList &tables);
// The stored table of a log name; `anyCase` compares in upper case.
std::optional<QString> Find(const QStringList &tables, const QString &name, bool anyCase);

// Writes the store into the table (creating it, or replacing its rows) and the catalogue entry,
// all or nothing. The entry gets `now`, also when it replaces an earlier save's.
void Save(Database &db, const QString &table, const SampleStore &store, const QDateTime &now);
// Fills the store from the table; slots the table does not hold stay without a sample.
// Returns the creation time when the catalogue knows it.
std::optional<QDateTime> Load(Database &db, const QString &table, SampleStore &store);
void Remove(Database &db, const QString &table); // the table and its catalogue entry

} // namespace LogTables
