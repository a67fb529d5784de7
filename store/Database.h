// The program's one database file: SQLCipher, password protected, text tables whose records keep
// their insertion order. Names built from operator text are always quoted identifiers, and every
// operation takes its table name exactly: "A_TEST" is never the stored "A_Test".
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

struct sqlite3;

// A database operation that failed; what() is the engine's description.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString &description)
        : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromStdString(what()); }
};

struct FieldDef {
    QString name;
    int size; // characters
};

class Database {
public:
    static constexpr const char *FileName = "QVRdb.mdb";
    static constexpr const char *Password = "wkzt";

    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Where the database lives: beside the program when that folder is writable, else in the
    // per-user folder, with a notice when a database beside the program is passed over.
    struct Place {
        QString dir;
        QString notice; // empty: nothing to tell
    };
    static Place ChooseDir(const QString &appDir, bool appDirWritable, const QString &userDir);
    static Place DefaultPlace();
    // QVR_DATA_DIR when it is set (made when missing, as the per-user folder is), else the above.
    static Place ProgramPlace();

    // Creates the file when it does not exist, else opens it and proves the key with a read.
    // A file that cannot be opened is left exactly as it is; every later operation then fails
    // with the same description.
    void Open(const QString &path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    QString Path() const { return path_; }

    QStringList TableNames(); // catalogue (creation) order
    bool TableExists(const QString &name);
    void CreateTable(const QString &name, const QList<FieldDef> &fields);
    void DeleteTable(const QString &name);
    void EmptyTable(const QString &name);
    void AppendRecord(const QString &name, const QStringList &values);
    QList<QStringList> ReadAll(const QString &name);
    // Replaces the table's records (creating the table first when missing) in one transaction:
    // the old content stays whole unless the new content was written completely.
    void RewriteTable(const QString &name, const QList<FieldDef> &fields,
                      const QList<QStringList> &rows);
    // Runs `work` as one transaction: when it throws, everything it changed is undone.
    void Atomically(const std::function<void()> &work);

    static QString QuoteName(const QString &name);

private:
    sqlite3 *handle();
    // The stored table of that name (in any letter case when asked), if there is one.
    std::optional<QString> storedName(const QString &name, bool anyCase);
    void requireTable(const QString &name); // exact name, else "no such table"
    // `sizes`: each field's declared size, 0 for none.
    void insert(const QString &name, const QStringList &values, const QList<int> &sizes);
    QList<int> declaredSizes(const QString &name);
    static QString tooLong(const QString &name, const QStringList &values);
    void exec(const QString &sql);
    [[noreturn]] void fail(const QString &context);

    sqlite3 *db_ = nullptr;
    QString path_;
    QString openError_ = QStringLiteral("The database is not open");
};
