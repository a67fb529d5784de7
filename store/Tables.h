// Table families of the store: the program tables of the three pages and the settings table.
#pragma once

#include "Database.h"

#include <optional>

namespace Tables {

enum class Family { Internal, External, Preset };

QString Prefix(Family family); // "A_", "B_", "C_"
// The prefix and the typed name unchanged: no trimming, case kept, any character allowed.
QString TableName(Family family, const QString &userName);
QList<FieldDef> Fields(Family family);

} // namespace Tables

namespace SettingsTable {

inline const QString Name = QStringLiteral("QVRSYS");
inline const QString PortRecord = QStringLiteral("CommPort");
QList<FieldDef> Fields();

// The remembered port number; nothing when there is no table or no "CommPort" record.
std::optional<int> ReadCommPort(Database &db);
// Stores the port as " 1", " 3"... Creates the table on first use; writes only when the stored
// number differs. Returns whether anything was written.
bool RememberPort(Database &db, int port);

// Records of this program's own settings beside "CommPort" (whose reader looks at that record
// only): the second field of the record named `name`, and storing it.
inline const QString ReconnectRecord = QStringLiteral("AutoReconnect"); // "1" on, "0" off
inline const QString RemoteRecord = QStringLiteral("RemoteControl");    // "1" on, "0" off
inline const QString RemotePortRecord = QStringLiteral("RemotePort");   // "5025"
inline const QString MetricsRecord = QStringLiteral("Metrics");               // "1" on, "0" off
inline const QString MetricsAddressRecord = QStringLiteral("MetricsAddress"); // "127.0.0.1"
inline const QString MetricsPortRecord = QStringLiteral("MetricsPort");       // "9725"
inline const QString BenchNameRecord = QStringLiteral("BenchName"); // empty: host and port
std::optional<QString> ReadRecord(Database &db, const QString &name);
void RememberRecord(Database &db, const QString &name, const QString &value);

} // namespace SettingsTable
