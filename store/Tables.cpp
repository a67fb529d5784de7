#include "Tables.h"

#include "Module1.h"

#include <algorithm>
#include <limits>

namespace Tables {

QString Prefix(Family family) {
    switch (family) {
    case Family::Internal:
        return QStringLiteral("A_");
    case Family::External:
        return QStringLiteral("B_");
    case Family::Preset:
        return QStringLiteral("C_");
    }
    return QString();
}

QString TableName(Family family, const QString &userName) {
    return Prefix(family) + userName;
}

QList<FieldDef> Fields(Family family) {
    if (family == Family::Preset)
        return {{"Option", 4}, {"Voltage", 4}, {"Current", 4}};
    return {{"Voltage", 4}, {"Current", 4}, {"Minute", 4}, {"Second", 4}};
}

} // namespace Tables

namespace SettingsTable {

QList<FieldDef> Fields() {
    return {{"CommPort", 50}, {"Property", 50}};
}

namespace {
// The stored text read as a port number; a number beyond int stays beyond any real port.
int portNumber(const QString &text) {
    const double n = Module1::LeadingNumber(text);
    return int(std::clamp(n, double(std::numeric_limits<int>::min()),
                          double(std::numeric_limits<int>::max())));
}
} // namespace

std::optional<int> ReadCommPort(Database &db) {
    if (!db.TableExists(Name))
        return std::nullopt;
    for (const QStringList &record : db.ReadAll(Name))
        if (record.value(0) == PortRecord)
            return portNumber(record.value(1));
    return std::nullopt;
}

bool RememberPort(Database &db, int port) {
    const QStringList record{PortRecord, Module1::StrSigned(port)};
    if (!db.TableExists(Name)) {
        db.RewriteTable(Name, Fields(), {record});
        return true;
    }
    QList<QStringList> records = db.ReadAll(Name);
    for (QStringList &r : records) {
        if (r.value(0) != PortRecord)
            continue;
        if (portNumber(r.value(1)) == port)
            return false;
        r[1] = record[1];
        db.RewriteTable(Name, Fields(), records);
        return true;
    }
    db.AppendRecord(Name, record);
    return true;
}

std::optional<QString> ReadRecord(Database &db, const QString &name) {
    if (!db.TableExists(Name))
        return std::nullopt;
    for (const QStringList &record : db.ReadAll(Name))
        if (record.value(0) == name)
            return record.value(1);
    return std::nullopt;
}

void RememberRecord(Database &db, const QString &name, const QString &value) {
    if (!db.TableExists(Name)) {
        db.RewriteTable(Name, Fields(), {{name, value}});
        return;
    }
    QList<QStringList> records = db.ReadAll(Name);
    for (QStringList &r : records) {
        if (r.value(0) != name)
            continue;
        if (r.value(1) != value) {
            r[1] = value;
            db.RewriteTable(Name, Fields(), records);
        }
        return;
    }
    db.AppendRecord(Name, {name, value});
}

} // namespace SettingsTable
