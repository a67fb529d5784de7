#include "Database.h"
#include "Tables.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
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

// Child process for the crash test: rewrites one table without end until it is killed.
int rewriteForever(const QString &path) {
    Database db;
    db.Open(path);
    for (int i = 0;; ++i) {
        const bool odd = i % 2;
        db.RewriteTable("B_crash", Fields(Family::External),
                        rowsOf(odd ? "1111" : "2222", odd ? 80 : 50, 4));
    }
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
        db.Close();
        db.Open(path("families.mdb"));
        QCOMPARE(db.TableNames(), QStringList({"A_x", "C_x"}));
    }

    void anyNameIsSafe() {
        Database db;
        db.Open(path("names.mdb"));
        const QStringList names{
            "A_",           "A_it's",    "A_say \"hi\"", "A_[x]", "A_a; DROP TABLE QVRSYS; --",
            "A_  spaced  ", "A_Grüße Ω", "A_B_nested"};
        int i = 0;
        for (const QString &name : names)
            db.RewriteTable(name, Fields(Family::Internal), {{QString::number(i++), "", "", ""}});
        QCOMPARE(db.TableNames(), names);
        i = 0;
        for (const QString &name : names)
            QCOMPARE(db.ReadAll(name).value(0).value(0), QString::number(i++));
        QVERIFY(!db.TableExists("A_b_NESTED ")); // trailing blank matters
        try {
            db.ReadAll("A_missing");
            QFAIL("reading a missing table succeeded");
        } catch (const StoreError &e) {
            QVERIFY2(e.description().contains("no such table"), e.what());
        }
    }

    // Names that differ only in letter case are different names; no operation on one touches
    // the other, and the second cannot be created beside the first.
    void namesAreExact() {
        Database db;
        db.Open(path("case.mdb"));
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
            try {
                operation();
                QFAIL(message);
            } catch (const StoreError &e) {
                QCOMPARE(e.description(), QString(message));
            }
            QCOMPARE(db.TableNames(), QStringList({"A_Test"}));
            QCOMPARE(db.ReadAll("A_Test"), steps);
        }
        QVERIFY(!db.TableExists("A_TEST"));
    }

    void unreadableFilesAreLeftAlone() {
        // A database with another password.
        const QString foreign = path("foreign.mdb");
        sqlite3 *raw = nullptr;
        sqlite3_open(QFile::encodeName(foreign).constData(), &raw);
        sqlite3_key(raw, "other", 5);
        sqlite3_exec(raw, "CREATE TABLE t(a); INSERT INTO t VALUES (1);", nullptr, nullptr,
                     nullptr);
        sqlite3_close(raw);
        // A file that is no database at all.
        const QString junk = path("junk.mdb");
        QFile f(junk);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(5000, 'x'));
        f.close();

        for (const QString &file : {foreign, junk}) {
            const QByteArray before = FileHash(file);
            Database db;
            QString reported;
            try {
                db.Open(file);
            } catch (const StoreError &e) {
                reported = e.description();
            }
            QVERIFY2(reported.contains(file) && reported.contains("left unchanged"),
                     qPrintable(reported));
            QVERIFY(!db.IsOpen());
            // Every later operation reports the same error and writes nothing.
            for (auto op : {+[](Database &d) { d.TableNames(); },
                            +[](Database &d) { SettingsTable::RememberPort(d, 1); }}) {
                try {
                    op(db);
                    QFAIL("an operation on an unopened database succeeded");
                } catch (const StoreError &e) {
                    QCOMPARE(e.description(), reported);
                }
            }
            QCOMPARE(FileHash(file), before);
        }
    }

    // A file that cannot be opened for another reason than its password: the engine's reason.
    // A database beside the program in a folder it cannot write: the other file and why.
    void whereTheDatabaseLives() {
        const QString missing = path("no such folder/QVRdb.mdb");
        try {
            Database().Open(missing);
            QFAIL("opened a database in a missing folder");
        } catch (const StoreError &e) {
            QCOMPARE(e.description(),
                     "Cannot open the database " + missing + ": unable to open database file");
        }
        const QString app = path("app"), user = path("user");
        QDir().mkpath(app);
        QCOMPARE(Database::ChooseDir(app, true, user).dir, app);
        QCOMPARE(Database::ChooseDir(app, false, user).notice, QString());
        QFile(QDir(app).filePath(Database::FileName)).open(QIODevice::WriteOnly);
        const Database::Place other = Database::ChooseDir(app, false, user);
        QCOMPARE(other.dir, user);
        QCOMPARE(other.notice, "The database " + app +
                                   "/QVRdb.mdb is in a folder QVR cannot write to, so QVR "
                                   "uses " +
                                   user +
                                   "/QVRdb.mdb instead. Copy the file there, or make its folder "
                                   "writable, to work with the tables stored in it.");
        QVERIFY(QFileInfo(user).isDir());
    }

    void crashDuringRewriteKeepsATableWhole() {
        const QString file = path("crash.mdb");
        {
            Database db;
            db.Open(file);
            db.RewriteTable("B_crash", Fields(Family::External), rowsOf("0000", 50, 4));
        }
        for (int round = 0; round < 3; ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--rewrite-forever", file});
            QVERIFY(child.waitForStarted());
            QTest::qWait(150 + 70 * round);
            child.kill();
            child.waitForFinished();
            Database db;
            db.Open(file);
            const auto rows = db.ReadAll("B_crash");
            QVERIFY(!rows.isEmpty());
            const QString value = rows[0][0];
            const int expected = value == "1111" ? 80 : 50;
            QCOMPARE(rows.size(), expected);
            QCOMPARE(rows, rowsOf(value, expected, 4));
        }
    }

    void rememberedPort() {
        Database db;
        db.Open(path("settings.mdb"));
        QCOMPARE(SettingsTable::ReadCommPort(db), std::nullopt);
        QVERIFY(SettingsTable::RememberPort(db, 1));
        QCOMPARE(db.ReadAll("QVRSYS"), QList<QStringList>({{"CommPort", " 1"}}));
        QVERIFY(SettingsTable::RememberPort(db, 3));
        QCOMPARE(db.ReadAll("QVRSYS"), QList<QStringList>({{"CommPort", " 3"}}));
        QVERIFY(!SettingsTable::RememberPort(db, 3));
        QCOMPARE(SettingsTable::ReadCommPort(db), 3);
        // Other records stay where they are.
        db.EmptyTable("QVRSYS");
        db.AppendRecord("QVRSYS", {"Other", "x"});
        QVERIFY(SettingsTable::RememberPort(db, 12));
        QCOMPARE(db.ReadAll("QVRSYS"), QList<QStringList>({{"Other", "x"}, {"CommPort", " 12"}}));
        // Any number the table may hold reads without overflow.
        db.RewriteTable("QVRSYS", SettingsTable::Fields(), {{"CommPort", QString(40, '9')}});
        QCOMPARE(SettingsTable::ReadCommPort(db), std::numeric_limits<int>::max());
    }
};

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--rewrite-forever")
        return rewriteForever(QString::fromLocal8Bit(argv[2]));
    TestStore test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_store.moc"
