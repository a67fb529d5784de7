#include "Database.h"
#include "Tables.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <limits>
#include <sqlite3.h>

using namespace Tables;

namespace {

QList<QStringList> rowsOf(const QString &value, int count, int fields) {
    QList<QStringList> rows;
    for (int i = 0; i < count; ++i)
        rows << QStringList(QList<QString>(fields, value));
    return rows;
}

// The description of the store error `operation` throws, or "no error".
QString refusal(const std::function<void()> &operation) {
    try {
        operation();
    } catch (const StoreError &e) {
        return e.description();
    }
    return "no error";
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const QString &name) { return dir_.filePath(name); }

private slots:
    void familiesRoundTripTextExactly() {
        Database db;
        db.Open(path("families.mdb"));
        QVERIFY(db.TableNames().isEmpty()); // a new file starts empty
        const QList<QStringList> steps{{"05.0", "1.25", "01", "30"}, {"12.5", "0.05", "00", "00"}};
        const QList<QStringList> presets{{"T", "05.0", "1.00"}, {"F", "30.0", "3.00"}};
        db.RewriteTable(TableName(Family::Internal, "x"), Fields(Family::Internal), steps);
        db.RewriteTable(TableName(Family::External, "x"), Fields(Family::External), steps);
        db.RewriteTable(TableName(Family::Preset, "x"), Fields(Family::Preset), presets);
        QCOMPARE(db.ReadAll("A_x"), steps);
        QCOMPARE(db.ReadAll("B_x"), steps);
        QCOMPARE(db.ReadAll("C_x"), presets);
        QCOMPARE(db.TableNames(), QStringList({"A_x", "B_x", "C_x"}));
        db.DeleteTable("B_x");
        QCOMPARE(db.TableNames(), QStringList({"A_x", "C_x"}));
        QCOMPARE(db.ReadAll("A_x"), steps);

        // Overwriting with fewer rows leaves only the new rows.
        db.RewriteTable("A_x", Fields(Family::Internal), steps.mid(1));
        QCOMPARE(db.ReadAll("A_x"), steps.mid(1));
        db.EmptyTable("A_x");
        db.AppendRecord("A_x", steps[0]);
        QCOMPARE(db.ReadAll("A_x"), steps.mid(0, 1));

        // Field size is enforced; the table keeps what it had.
        QVERIFY_THROWS_EXCEPTION(StoreError, db.AppendRecord("A_x", {"123.4", "0", "0", "0"}));
        QVERIFY_THROWS_EXCEPTION(StoreError, db.RewriteTable("A_x", Fields(Family::Internal),
                                                             {{"1", "2", "3", "4"}, {"12345"}}));
        QCOMPARE(db.ReadAll("A_x"), steps.mid(0, 1));
        // Sizes count characters, as the engine does, not UTF-16 units.
        // U+FFFF (a noncharacter) comes back as itself, not as U+FFFD.
        db.AppendRecord("A_x", {"µ€𝄞x", QString(QChar(0xFFFF)) + QChar(0xFFFD), "", ""});
        QCOMPARE(db.ReadAll("A_x").last().mid(0, 2),
                 QStringList({"µ€𝄞x", QString(QChar(0xFFFF)) + QChar(0xFFFD)}));
        // Tables from older versions hold their sizes as CHECKs: the same refusal.
        db.Close();
        sqlite3 *raw = nullptr;
        sqlite3_open(QFile::encodeName(path("families.mdb")).constData(), &raw);
        sqlite3_key(raw, Database::Password, int(qstrlen(Database::Password)));
        QCOMPARE(sqlite3_exec(raw, R"(CREATE TABLE "A_old" ("V" TEXT CHECK (length("V") <= 4)))",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        db.Open(path("families.mdb"));
        QCOMPARE(refusal([&] { db.AppendRecord("A_old", {"12345"}); }),
                 QString("A value is too long for its field in table 'A_old' (12345)"));
    }

    // Any text is a name: quotes, brackets, SQL, blanks. Names that differ only in letter case
    // are different names; no operation on one touches the other, and the second cannot be
    // created beside the first. A missing table is named.
    void namesAreSafeAndExact() {
        Database db;
        db.Open(path("names.mdb"));
        const QStringList names{
            "A_",           "A_it's",    "A_say \"hi\"", "A_[x]", "A_a; DROP TABLE QVRSYS; --",
            "A_  spaced  ", "A_Grüße Ω", "A_B_nested"};
        for (const QString &name : names)
            db.RewriteTable(name, Fields(Family::Internal), {{name.mid(2, 4), "", "", ""}});
        QCOMPARE(db.TableNames(), names);
        for (const QString &name : names)
            QCOMPARE(db.ReadAll(name).value(0).value(0), name.mid(2, 4));
        QVERIFY(!db.TableExists("A_b_NESTED ")); // trailing blank matters
        for (const QString &name : names)
            db.DeleteTable(name);
        const QList<QStringList> steps{{"05.0", "1.25", "01", "30"}};
        db.RewriteTable("A_Test", Fields(Family::Internal), steps);
        const QList<std::pair<const char *, std::function<void()>>> operations{
            {"no such table: A_TEST", [&] { db.ReadAll("A_TEST"); }},
            {"no such table: A_TEST", [&] { db.EmptyTable("A_TEST"); }},
            {"no such table: A_TEST", [&] { db.DeleteTable("A_TEST"); }},
            {"no such table: A_TEST", [&] { db.AppendRecord("A_TEST", steps[0]); }},
            {"Cannot create table A_TEST: table A_Test exists, and names that differ only in "
             "letter case cannot be told apart",
             [&] { db.RewriteTable("A_TEST", Fields(Family::Internal), {}); }},
            {"table A_Test already exists",
             [&] { db.CreateTable("A_Test", Fields(Family::Internal)); }},
        };
        for (const auto &[message, operation] : operations) {
            QCOMPARE(refusal(operation), QString(message));
            QCOMPARE(db.TableNames(), QStringList({"A_Test"}));
            QCOMPARE(db.ReadAll("A_Test"), steps);
        }
        QVERIFY(!db.TableExists("A_TEST"));
    }

    // Files that are not this program's database: each reported with its reason, left byte for
    // byte as it was, and every later operation reports the same and writes nothing.
    void unreadableFilesAreLeftAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        const QString notOurs = "file is encrypted or is not a database (wrong password or "
                                "damaged file; it was left unchanged)";
        QTest::newRow("other password") << "other password" << notOurs;
        QTest::newRow("random bytes") << "random bytes" << notOurs;
        QTest::newRow("plain SQLite") << "plain SQLite" << notOurs;
        QTest::newRow("truncated") << "truncated"
                                   << "database disk image is malformed (it was left unchanged)";
        QTest::newRow("empty") << "empty"
                               << "the file is empty (it was left unchanged; delete it to start "
                                  "a new database)";
    }
    void unreadableFilesAreLeftAlone() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString file = path(kind + ".mdb");
        auto raw = [&](const char *key, const char *sql) {
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(file).constData(), &db);
            if (key)
                sqlite3_key(db, key, int(qstrlen(key)));
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
            sqlite3_close(db);
        };
        QFile f(file);
        if (kind == "other password") {
            raw("other", "CREATE TABLE t(a); INSERT INTO t VALUES (1);");
        } else if (kind == "plain SQLite") {
            raw(nullptr, "CREATE TABLE t(a); INSERT INTO t VALUES (1);");
        } else if (kind == "truncated") {
            {
                Database db;
                db.Open(file);
                for (int t = 0; t < 20; ++t)
                    db.RewriteTable(QString("B_%1").arg(t), Fields(Family::External),
                                    rowsOf("1234", 100, 4));
            }
            QVERIFY(f.resize(f.size() / 2));
        } else {
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == "random bytes")
                for (int k = 0; k < 1250; ++k)
                    f.write(QByteArray::number(QRandomGenerator::global()->generate()));
            f.close();
        }
        const QByteArray before = ReadFile(file);
        Database db;
        const QString reported =
            "Cannot open the database " + QDir::toNativeSeparators(file) + ": " + reason;
        QCOMPARE(refusal([&] { db.Open(file); }), reported);
        QVERIFY(!db.IsOpen());
        QCOMPARE(refusal([&] { db.TableNames(); }), reported);
        QCOMPARE(refusal([&] { SettingsTable::RememberPort(db, 1); }), reported);
        QCOMPARE(ReadFile(file), before);
    }

    // A file that cannot be opened for another reason than its password: the engine's reason.
    // A database beside the program in a folder it cannot write: the other file and why.
    void whereTheDatabaseLives() {
        const QString missing = path("no such folder/QVRdb.mdb");
        QCOMPARE(refusal([&] { Database().Open(missing); }), "Cannot open the database " +
                                                                 QDir::toNativeSeparators(missing) +
                                                                 ": unable to open database file");
        const QString app = path("app"), user = path("user");
        QDir().mkpath(app);
        QCOMPARE(Database::ChooseDir(app, true, user).dir, app);
        QCOMPARE(Database::ChooseDir(app, false, user).notice, QString());
        QFile(QDir(app).filePath(Database::FileName)).open(QIODevice::WriteOnly);
        const Database::Place other = Database::ChooseDir(app, false, user);
        QCOMPARE(other.dir, user);
        QCOMPARE(other.notice, QString("The database %1 is in a folder QVR cannot write to, so QVR "
                                       "uses %2 instead. Copy the file there, or make its folder "
                                       "writable, to work with the tables stored in it.")
                                   .arg(QDir::toNativeSeparators(app + "/QVRdb.mdb"),
                                        QDir::toNativeSeparators(user + "/QVRdb.mdb")));
        QVERIFY(QFileInfo(user).isDir());
        // A folder named in letters outside ASCII, as a user's profile may be.
        QVERIFY(QDir().mkpath(path("Grüße Ω")));
        Database named;
        named.Open(path("Grüße Ω/QVRdb.mdb"));
        QVERIFY(SettingsTable::RememberPort(named, 2));
        named.Close();
        QVERIFY(QFileInfo::exists(path("Grüße Ω/QVRdb.mdb")));
        named.Open(path("Grüße Ω/QVRdb.mdb"));
        QCOMPARE(SettingsTable::ReadCommPort(named), 2);
        qputenv("QVR_DATA_DIR", QFile::encodeName(path("new/data")));
        QCOMPARE(Database::ProgramPlace().dir, path("new/data"));
        QVERIFY(QFileInfo(path("new/data")).isDir()); // made, as the per-user folder is
        qunsetenv("QVR_DATA_DIR");
    }

    void rememberedPort() {
        Database db;
        db.Open(path("settings.mdb"));
        QCOMPARE(SettingsTable::ReadCommPort(db), std::nullopt);
        // Other records stay where they are; the same port is no change.
        db.RewriteTable("QVRSYS", SettingsTable::Fields(), {{"Other", "x"}});
        QVERIFY(SettingsTable::RememberPort(db, 3) && !SettingsTable::RememberPort(db, 3));
        QCOMPARE(SettingsTable::ReadCommPort(db), 3);
        QVERIFY(SettingsTable::RememberPort(db, 12));
        QCOMPARE(db.ReadAll("QVRSYS"), QList<QStringList>({{"Other", "x"}, {"CommPort", " 12"}}));
        // Any number the table may hold reads without overflow.
        db.RewriteTable("QVRSYS", SettingsTable::Fields(), {{"CommPort", QString(40, '9')}});
        QCOMPARE(SettingsTable::ReadCommPort(db), std::numeric_limits<int>::max());
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
