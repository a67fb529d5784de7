#include "LogTables.h"

#include "Module1.h"
#include "SampleStore.h"

#include <algorithm>

using namespace Module1;

namespace LogTables {

namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QList<FieldDef> CatalogueFields() {
    return {{"LogTable", 4000}, {"Created", 50}};
}

QList<QStringList> CatalogueRows(Database &db) {
    return db.TableExists(Catalogue) ? db.ReadAll(Catalogue) : QList<QStringList>();
}

} // namespace

QString Prefix(qint64 sampleMs) {
    if (sampleMs == 500)
        return QStringLiteral("D__5");
    return QStringLiteral("D_") + Format(sampleMs / 1000.0, QStringLiteral("00"));
}

QList<FieldDef> FieldDefs() {
    QList<FieldDef> fields;
    for (int j = 0; j < Fields; ++j)
        fields.append({QStringLiteral("VC%1").arg(j), 8});
    return fields;
}

QString SlotText(float volt, float curr) {
    if (volt == SampleStore::None || curr == SampleStore::None)
        return Empty;
    // A reading the slot's layout cannot hold (negative, 100 V or more, 10 A or more, not a
    // number) is kept as no sample, so that it cannot stop every later save.
    const QString text =
        Format(volt, QStringLiteral("00.0")) + Format(curr, QStringLiteral("0.00"));
    if (text.size() != 8)
        return Empty;
    for (int i = 0; i < 8; ++i)
        if (i == 2 || i == 5 ? text[i] != u'.' : !text[i].isDigit())
            return Empty;
    return text;
}

std::pair<float, float> ParseSlot(const QString &text) {
    if (text == Empty)
        return {SampleStore::None, SampleStore::None};
    return {float(LeadingNumber(NormDecimalStr(text.left(4)))),
            float(LeadingNumber(NormDecimalStr(text.mid(4))))};
}

qint64 IntervalMs(const QString &tableName) {
    if (tableName.mid(2, 1) == u"_")
        return 500;
    return qint64(LeadingNumber(tableName.mid(2, 2)) * 1000);
}

QStringList Names(const QStringList &tables) {
    QStringList names;
    for (const QString &t : tables)
        if (t.startsWith(u"D_"))
            names << t.mid(4);
    return names;
}

std::optional<QString> Find(const QStringList &tables, const QString &name, bool anyCase) {
    for (const QString &t : tables)
        if (t.startsWith(u"D_") &&
            (anyCase ? t.mid(4).toUpper() == name.toUpper() : t.mid(4) == name))
            return t;
    return std::nullopt;
}

void Save(Database &db, const QString &table, const SampleStore &store, const QDateTime &now) {
    QList<QStringList> rows;
    for (int r = 0; r < Rows; ++r) {
        QStringList row;
        for (int j = 0; j < Fields; ++j) {
            const int slot = r * Fields + j + 1;
            row << SlotText(store.at(1, slot), store.at(2, slot));
        }
        rows << row;
    }
    db.Atomically([&] {
        db.RewriteTable(table, FieldDefs(), rows);
        // An overwrite is a new snapshot: its time is the one the clock times are counted from.
        QList<QStringList> entries = CatalogueRows(db);
        const QStringList entry{table, now.toString(DateFormat)};
        const auto it = std::find_if(entries.begin(), entries.end(),
                                     [&](const QStringList &e) { return e.value(0) == table; });
        if (it != entries.end())
            *it = entry;
        else
            entries.append(entry);
        db.RewriteTable(Catalogue, CatalogueFields(), entries);
    });
}

std::optional<QDateTime> Load(Database &db, const QString &table, SampleStore &store) {
    const QList<QStringList> rows = db.ReadAll(table);
    std::optional<QDateTime> created;
    for (const QStringList &e : CatalogueRows(db))
        if (e.value(0) == table)
            if (const auto when = QDateTime::fromString(e.value(1), DateFormat); when.isValid())
                created = when;
    store.Clear();
    for (int r = int(std::min<qsizetype>(rows.size(), Rows)) - 1; r >= 0; --r) {
        const QStringList &row = rows[r];
        for (int j = int(std::min<qsizetype>(row.size(), Fields)) - 1; j >= 0; --j) {
            const auto [volt, curr] = ParseSlot(row[j]);
            store.at(1, r * Fields + j + 1) = volt;
            store.at(2, r * Fields + j + 1) = curr;
        }
    }
    return created;
}

void Remove(Database &db, const QString &table) {
    db.Atomically([&] {
        db.DeleteTable(table);
        QList<QStringList> entries = CatalogueRows(db);
        const qsizetype before = entries.size();
        entries.removeIf([&](const QStringList &e) { return e.value(0) == table; });
        if (entries.size() != before)
            db.RewriteTable(Catalogue, CatalogueFields(), entries);
    });
}

} // namespace LogTables
