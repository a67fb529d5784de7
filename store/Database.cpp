#include "Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <sqlite3.h>

namespace {

// One prepared statement, finalized when the operation ends.
class Statement {
public:
    Statement(sqlite3 *db, const QString &sql) {
        const QByteArray utf8 = sql.toUtf8();
        rc_ = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    bool ok() const { return rc_ == SQLITE_OK; }
    sqlite3_stmt *get() const { return stmt_; }

private:
    sqlite3_stmt *stmt_ = nullptr;
    int rc_;
};

// Read as the UTF-8 the file holds: the engine's own conversion to UTF-16 would turn the
// noncharacters U+FFFE and U+FFFF into U+FFFD, so a stored text would not come back as it was.
QString columnText(sqlite3_stmt *stmt, int i) {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt, i)) : QString();
}

} // namespace

Database::~Database() {
    Close();
}

Database::Place Database::ChooseDir(const QString &appDir, bool appDirWritable,
                                    const QString &userDir) {
    if (appDirWritable)
        return {appDir, QString()};
    QDir().mkpath(userDir);
    const QString beside = QDir(appDir).filePath(FileName);
    if (!QFileInfo::exists(beside))
        return {userDir, QString()};
    // The operator's tables are in the file beside the program: say why they are not shown.
    return {userDir, QStringLiteral("The database %1 is in a folder QVR cannot write to, so QVR "
                                    "uses %2 instead. Copy the file there, or make its folder "
                                    "writable, to work with the tables stored in it.")
                         .arg(QDir::toNativeSeparators(beside),
                              QDir::toNativeSeparators(QDir(userDir).filePath(FileName)))};
}

namespace {
// Whether a new file can be made in `dir`. Windows' folder rights are not in the attributes Qt
// reads (C:\Program Files looks writable to it), so there a file is made and removed to find out.
bool FolderTakesFiles(const QString &dir) {
#ifdef Q_OS_WIN
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral("qvr-probe-XXXXXX")));
    return probe.open();
#else
    return QFileInfo(dir).isWritable();
#endif
}
} // namespace

Database::Place Database::DefaultPlace() {
    const QString appDir = QCoreApplication::applicationDirPath();
    // An installed program (its metainfo beside it) never writes into the system's folders,
    // even when run by root: each user keeps a database of their own.
    const bool installed =
        QFileInfo::exists(appDir + QStringLiteral("/../share/metainfo/io.qvr.QVR.metainfo.xml"));
    return ChooseDir(appDir, !installed && FolderTakesFiles(appDir),
                     QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

Database::Place Database::ProgramPlace() {
    const QString chosen = qEnvironmentVariable("QVR_DATA_DIR");
    if (chosen.isEmpty())
        return DefaultPlace();
    QDir().mkpath(chosen);
    return {chosen, {}};
}

QString Database::QuoteName(const QString &name) {
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

void Database::fail(const QString &context) {
    QString text = QString::fromUtf8(sqlite3_errmsg(db_));
    if (!context.isEmpty())
        text = context + QStringLiteral(": ") + text;
    throw StoreError(text);
}

void Database::Open(const QString &path) {
    Close();
    path_ = path;
    const QFileInfo info(path);
    const bool exists = info.exists();
    if (exists && info.isFile() && info.size() == 0) {
        // The engine would take an empty file for a new database and write into it; it may be
        // a copy that went wrong, so it is left for the operator to look at.
        openError_ = QStringLiteral("Cannot open the database %1: the file is empty (it was left "
                                    "unchanged; delete it to start a new database)")
                         .arg(QDir::toNativeSeparators(path));
        throw StoreError(openError_);
    }
    // The engine reads UTF-8 names on every system (Windows' ANSI code page would lose a user
    // name such as "Jürgen").
    const QByteArray file = path.toUtf8();
    const int flags = SQLITE_OPEN_READWRITE | (exists ? 0 : SQLITE_OPEN_CREATE);
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(file.constData(), &db, flags, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_key(db, Password, int(qstrlen(Password)));
    // SQLCipher takes any key; only the first read shows whether it fits.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        const int code = db ? (sqlite3_errcode(db) & 0xff) : SQLITE_NOMEM;
        sqlite3_close(db);
        // The password or a damaged file only when the engine says the file is none of ours;
        // otherwise its own reason (a folder that cannot be written, a missing folder).
        QString why;
        if (code == SQLITE_NOTADB)
            why = QStringLiteral(" (wrong password or damaged file; it was left unchanged)");
        else if (exists)
            why = QStringLiteral(" (it was left unchanged)");
        openError_ = QStringLiteral("Cannot open the database %1: %2%3")
                         .arg(QDir::toNativeSeparators(path), reason, why);
        throw StoreError(openError_);
    }
    db_ = db;
    sqlite3_busy_timeout(db_, 2000);
    // The engine writes a new file only with its first table: a first start that stored nothing
    // would leave an empty file, which the next start refuses as damaged. Write its header now,
    // and no table.
    if (!exists)
        exec(QStringLiteral("CREATE TABLE qvr_new (x); DROP TABLE qvr_new"));
}

void Database::Close() {
    if (db_)
        sqlite3_close(db_);
    db_ = nullptr;
}

sqlite3 *Database::handle() {
    if (!db_)
        throw StoreError(openError_);
    return db_;
}

void Database::exec(const QString &sql) {
    if (sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QString());
}

QStringList Database::TableNames() {
    Statement st(handle(),
                 QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"));
    if (!st.ok())
        fail(QString());
    QStringList names;
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW)
        names << columnText(st.get(), 0);
    if (rc != SQLITE_DONE)
        fail(QString());
    return names;
}

std::optional<QString> Database::storedName(const QString &name, bool anyCase) {
    Statement st(handle(), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                          "AND name = ?1") +
                               (anyCase ? QStringLiteral(" COLLATE NOCASE") : QString()));
    if (!st.ok())
        fail(QString());
    sqlite3_bind_text16(st.get(), 1, name.utf16(), int(name.size() * 2), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(QString());
    if (rc == SQLITE_DONE)
        return std::nullopt;
    return columnText(st.get(), 0);
}

bool Database::TableExists(const QString &name) {
    return storedName(name, false).has_value();
}

void Database::requireTable(const QString &name) {
    if (!TableExists(name))
        throw StoreError(QStringLiteral("no such table: %1").arg(name));
}

void Database::CreateTable(const QString &name, const QList<FieldDef> &fields) {
    // The engine matches table names without regard to letter case: "A_TEST" would be the
    // stored "A_Test". Say so rather than let it answer for the other table.
    if (const auto existing = storedName(name, true))
        throw StoreError(*existing == name
                             ? QStringLiteral("table %1 already exists").arg(name)
                             : QStringLiteral("Cannot create table %1: table %2 exists, and names "
                                              "that differ only in letter case cannot be told "
                                              "apart")
                                   .arg(name, *existing));
    // The size goes into the declared type, where inserts find it; a CHECK per field would do
    // the same, but the engine parses every table's schema on opening, and thousands of
    // tables with 36 CHECKs each made start-up noticeably slower.
    QStringList columns;
    for (const FieldDef &f : fields)
        columns << QStringLiteral("%1 VARCHAR(%2)").arg(QuoteName(f.name)).arg(f.size);
    exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(QuoteName(name), columns.join(u", ")));
}

void Database::DeleteTable(const QString &name) {
    requireTable(name);
    exec(QStringLiteral("DROP TABLE %1").arg(QuoteName(name)));
}

void Database::EmptyTable(const QString &name) {
    requireTable(name);
    exec(QStringLiteral("DELETE FROM %1").arg(QuoteName(name)));
}

QString Database::tooLong(const QString &name, const QStringList &values) {
    return QStringLiteral("A value is too long for its field in table '%1' (%2)")
        .arg(name, values.join(u' '));
}

void Database::AppendRecord(const QString &name, const QStringList &values) {
    requireTable(name);
    insert(name, values, declaredSizes(name));
}

QList<int> Database::declaredSizes(const QString &name) {
    Statement st(handle(), QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(name)));
    if (!st.ok())
        fail(QString());
    static const QRegularExpression sized(QStringLiteral("^VARCHAR\\((\\d+)\\)$"));
    QList<int> sizes;
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        const QRegularExpressionMatch m = sized.match(columnText(st.get(), 2));
        sizes << (m.hasMatch() ? m.captured(1).toInt() : 0);
    }
    return sizes;
}

void Database::insert(const QString &name, const QStringList &values, const QList<int> &sizes) {
    // Characters as the engine counts them (code points), as a fixed-size text field would.
    // Tables from older versions carry a CHECK instead and are refused by the engine below.
    for (int i = 0; i < values.size(); ++i)
        if (sizes.value(i) > 0 && values[i].toUcs4().size() > sizes[i])
            throw StoreError(tooLong(name, values));
    QStringList marks;
    for (int i = 1; i <= values.size(); ++i)
        marks << QStringLiteral("?%1").arg(i);
    Statement st(
        handle(),
        QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(QuoteName(name), marks.join(u',')));
    if (!st.ok())
        fail(QString());
    for (int i = 0; i < values.size(); ++i)
        sqlite3_bind_text16(st.get(), i + 1, values[i].utf16(), int(values[i].size() * 2),
                            SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_CONSTRAINT)
        throw StoreError(tooLong(name, values));
    if (rc != SQLITE_DONE)
        fail(QString());
}

QList<QStringList> Database::ReadAll(const QString &name) {
    requireTable(name);
    Statement st(handle(), QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QuoteName(name)));
    if (!st.ok())
        fail(QString());
    QList<QStringList> rows;
    const int columns = sqlite3_column_count(st.get());
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < columns; ++i)
            row << columnText(st.get(), i);
        rows << row;
    }
    if (rc != SQLITE_DONE)
        fail(QString());
    return rows;
}

void Database::RewriteTable(const QString &name, const QList<FieldDef> &fields,
                            const QList<QStringList> &rows) {
    Atomically([&] {
        if (TableExists(name))
            EmptyTable(name);
        else
            CreateTable(name, fields);
        const QList<int> sizes = declaredSizes(name);
        for (const QStringList &row : rows)
            insert(name, row, sizes);
    });
}

void Database::Atomically(const std::function<void()> &work) {
    // A savepoint, so that one atomic operation may hold others.
    exec(QStringLiteral("SAVEPOINT qvr_work"));
    try {
        work();
        exec(QStringLiteral("RELEASE qvr_work"));
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK TO qvr_work; RELEASE qvr_work", nullptr, nullptr, nullptr);
        throw;
    }
}
