// Program tables in the database engine under any name with any field texts and row counts:
// stored and read back whole, or refused with the engine's description; never a statement broken
// by a name. (Log tables take the same path with texts of a fixed layout.)
#include "FuzzInput.h"
#include "Tables.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Database *db = [] {
        auto *d = new Database;
        d->Open(QStringLiteral(":memory:"));
        return d;
    }();
    FuzzInput in(data, size);
    const auto family = Tables::Family(in.byte() % 3);
    const QString name = Tables::TableName(family, in.text(40));
    QList<QStringList> rows;
    for (int r = in.byte() % 12; r > 0; --r) {
        QStringList row;
        for (int f = 0; f < Tables::Fields(family).size(); ++f)
            row << in.text(6);
        rows << row;
    }
    try {
        db->RewriteTable(name, Tables::Fields(family), rows);
        if (db->ReadAll(name) != rows)
            std::abort(); // what was stored must come back as it was
        db->DeleteTable(name);
    } catch (const StoreError &) {
        // Refused (a text longer than its field, a name the engine will not take): nothing kept.
        if (db->TableExists(name) && !db->ReadAll(name).isEmpty())
            std::abort();
    }
    return 0;
}
