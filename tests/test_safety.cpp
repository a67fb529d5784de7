// Stored tables against the worst the machine can do: the program killed in the middle of its
// saves, a full disk and a folder that cannot be written.
#include "DataLogPage.h"
#include "FileRights.h"
#include "LogTables.h"
#include "Module1.h"
#include "ProgramPages.h"
#include "SampleStore.h"
#include "Tables.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <linux/capability.h>
#include <memory>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

// Two contents every table is saved with in turn: a table read back holds one of them whole.
const QStringList Step[2] = {{"11.1", "1.11", "00", "01"}, {"22.2", "2.22", "00", "02"}};
const float Sample[2][2] = {{1.0f, 0.1f}, {2.0f, 0.2f}};

void fill(TabbedFrm &w, int variant) {
    ExternalPage *ex = w.externalPage;
    for (int r = 1; r < ex->FGrid->Rows(); ++r)
        ex->FGrid->SetDataRow(r, QStringList{QString::number(r)} + Step[variant]);
    for (int k = 1; k <= SampleStore::Slots; ++k)
        LiveStore.at(1, k) = Sample[variant][0], LiveStore.at(2, k) = Sample[variant][1];
}

void saveTable(TabbedFrm &w, const QString &name) {
    w.externalPage->Combo1[0]->setEditText(name);
    w.externalPage->Command1_Click(3);
}

void saveLog(TabbedFrm &w, const QString &name) {
    w.dataLogPage->Combo3[ChartScale::LogName]->setEditText(name);
    w.dataLogPage->MnuSave_Click();
}

// The child: saves and overwrites tables and logs of round `round`, recording a sample each
// time, until it is killed.
int saveForever(const QString &dir, const QString &round) {
    const QString file = QDir(dir).filePath(Database::FileName);
    RememberPortIn(dir, 1);
    SupplyModel supply;
    ManualClock clock;
    SimComm1 port{supply, clock};
    ScriptedDialogs yes; // every overwrite question answered Yes
    yes.answerAll = Dialogs::Answer::Yes;
    Module1::ResetSharedState();
    TabbedFrm w(port, yes, clock, file);
    w.Form_Load();
    w.externalPage->Text1->setText("20");
    w.externalPage->NewTable();
    w.dataLogPage->StartRecording(QDir(dir).filePath("run.csv"));
    for (int k = 0;; ++k) {
        fill(w, k % 2);
        saveTable(w, QString("r%1 t%2").arg(round).arg(k % 3));
        saveLog(w, QString("r%1 l%2").arg(round).arg(k % 2));
        clock.advance(500);
        w.dataLogPage->PVCPicTimer_Timer();
        if (k == 0) {
            std::fputs("saving\n", stdout);
            std::fflush(stdout);
        }
    }
}

// The recording: one header, then whole lines of nine fields (an event's quoted text aside).
QString recordingWhole(const QString &csv) {
    const QByteArray bytes = ReadFile(csv);
    if (bytes.count("time,seconds,") != 1 || !bytes.endsWith('\n'))
        return "the recording is torn";
    for (const QByteArray &line : bytes.split('\n'))
        if (!line.isEmpty() && !line.contains('"') && line.count(',') != 8)
            return "a torn line in the recording: " + QString::fromUtf8(line);
    return QString();
}

// Every table of the file whole: the engine's own check, each program table and each log one of
// the two contents in full, and the log catalogue naming exactly the logs there are.
QString wholeness(const QString &file) {
    sqlite3 *raw = nullptr;
    // Read-write, as the program opens it: a journal left by a killed save is rolled back.
    sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_key(raw, Database::Password, int(qstrlen(Database::Password)));
    sqlite3_stmt *check = nullptr;
    sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &check, nullptr);
    QString verdict =
        sqlite3_step(check) == SQLITE_ROW
            ? QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(check, 0)))
            : QString("no answer");
    sqlite3_finalize(check);
    sqlite3_close(raw);
    if (verdict != "ok")
        return "integrity_check: " + verdict;
    Database db;
    db.Open(file);
    QStringList logs;
    for (const QString &t : db.TableNames()) {
        const QList<QStringList> rows = db.ReadAll(t);
        if (t.startsWith("B_")) {
            if (rows != QList<QStringList>(20, Step[0]) && rows != QList<QStringList>(20, Step[1]))
                return t + " is not whole";
        } else if (t.startsWith("D_")) {
            logs << t;
            auto holds = [&](int v) {
                const QString text = LogTables::SlotText(Sample[v][0], Sample[v][1]);
                return rows ==
                       QList<QStringList>(LogTables::Rows, QStringList(LogTables::Fields, text));
            };
            if (!holds(0) && !holds(1))
                return t + " is not whole";
        }
    }
    QStringList catalogue;
    for (const QStringList &e : db.ReadAll(LogTables::Catalogue))
        catalogue << e.value(0);
    if (catalogue != logs)
        return "the catalogue names " + catalogue.join(',') + " for " + logs.join(',');
    return QString();
}

// No file grows past `bytes` while it lives: a full disk (stricter than one, as it also refuses
// writes in place).
class DiskFull {
public:
    explicit DiskFull(rlim_t bytes = 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~DiskFull() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

} // namespace

class TestSafety : public QObject {
    Q_OBJECT
private slots:
    // SIGKILL at random moments while tables and logs are created and overwritten and samples
    // recorded: every table the file holds afterwards is whole, old content or new, and the
    // recording holds whole lines.
    void killedDuringSaves() {
        // Five children at a time, each saving into a folder of its own: the fifty kills take a
        // fraction of the time, a child's start being most of a round.
        constexpr int Lanes = 5, Rounds = 10;
        std::vector<std::unique_ptr<QTemporaryDir>> dirs;
        for (int lane = 0; lane < Lanes; ++lane)
            dirs.push_back(std::make_unique<QTemporaryDir>());
        for (int round = 0; round < Rounds; ++round) {
            std::vector<std::unique_ptr<QProcess>> children;
            for (int lane = 0; lane < Lanes; ++lane) {
                auto child = std::make_unique<QProcess>(); // offscreen, as this test
                QProcess *c = child.get();
                // Killed a random moment after it has begun saving.
                connect(c, &QProcess::readyReadStandardOutput, c, [c] {
                    QTimer::singleShot(int(QRandomGenerator::global()->bounded(80)), c,
                                       [c] { c->kill(); });
                });
                c->start(QCoreApplication::applicationFilePath(),
                         {"--save-forever", dirs[lane]->path(), QString::number(lane)});
                children.push_back(std::move(child));
            }
            QTRY_VERIFY_WITH_TIMEOUT(std::all_of(children.begin(), children.end(),
                                                 [](const auto &c) {
                                                     return c->state() == QProcess::NotRunning;
                                                 }),
                                     30000);
            for (int lane = 0; lane < Lanes; ++lane) {
                QVERIFY2(children[lane]->exitStatus() == QProcess::CrashExit,
                         "a child ended before it was killed");
                const QString broken = wholeness(dirs[lane]->filePath(Database::FileName)) +
                                       recordingWhole(dirs[lane]->filePath("run.csv"));
                QVERIFY2(broken.isEmpty(),
                         qPrintable(QString("round %1: %2").arg(round * Lanes + lane).arg(broken)));
            }
        }
    }

    // A full disk or a folder that cannot be written during Save Table, Save Log and Export:
    // the operation's message, and what was stored or exported before stays as it was.
    void storageFailuresLoseNothing_data() {
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QString>("tableMessage");
        QTest::addColumn<QString>("exportMessage");
        QTest::newRow("full disk") << true << "disk I/O error"
                                   << "Cannot write %1: File too large";
        QTest::newRow("read-only folder") << false << "unable to open database file"
                                          << "Cannot write %1: Permission denied";
    }
    void storageFailuresLoseNothing() {
        QFETCH(bool, diskFull);
        QFETCH(QString, tableMessage);
        QFETCH(QString, exportMessage);
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        w.externalPage->Text1->setText("20");
        w.externalPage->NewTable();
        fill(w, 0);
        saveTable(w, "keep");
        saveLog(w, "keep");
        const QString exported = f.dir.filePath("keep.xls");
        f.dialogs.expectSave(exported);
        w.dataLogPage->MnuExport_Click();
        QVERIFY(f.dialogs.allShown());
        const QByteArray exportedBefore = ReadFile(exported);

        fill(w, 1);
        const QString overwrite = "File 'keep.xls' already exist. Overwrte it ?";
        f.dialogs.expectMsg("Table already exist. Overwrte it ?", Dialogs::Answer::Yes);
        f.dialogs.expectMsg(tableMessage);
        f.dialogs.expectMsg("Table 'keep' log already exist. Overwrte it ?", Dialogs::Answer::Yes);
        f.dialogs.expectMsg("Data access error !");
        f.dialogs.expectSave(exported);
        f.dialogs.expectMsg(overwrite, Dialogs::Answer::Yes);
        f.dialogs.expectMsg(QString(exportMessage).arg(exported));
        {
            std::unique_ptr<DiskFull> full;
            std::unique_ptr<FolderRightsApply> rights;
            QFile::Permissions mode = QFile::permissions(f.dir.path());
            if (diskFull) {
                full = std::make_unique<DiskFull>();
            } else {
                rights = std::make_unique<FolderRightsApply>();
                QFile::setPermissions(f.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
            }
            saveTable(w, "keep");
            saveLog(w, "keep");
            w.dataLogPage->MnuExport_Click();
            QFile::setPermissions(f.dir.path(), mode);
        }
        QVERIFY(f.dialogs.allShown());
        w.close();
        QCOMPARE(wholeness(f.dbPath()), QString());
        Database db;
        db.Open(f.dbPath());
        QCOMPARE(db.ReadAll("B_keep"), QList<QStringList>(20, Step[0]));
        QCOMPARE(db.ReadAll("D_02keep").value(0).value(0),
                 LogTables::SlotText(Sample[0][0], Sample[0][1]));
        QCOMPARE(ReadFile(exported), exportedBefore);
        QCOMPARE(QDir(f.dir.path()).entryList({"*.xls*"}, QDir::Files), QStringList({"keep.xls"}));
    }

    // A recording meets a disk that takes half a line more, then nothing: it stops with one
    // message naming the file, and the file holds whole lines only, another writer's included.
    void recordingStopsWhole() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        const QString path = f.dir.filePath("run.csv");
        QVERIFY(w.dataLogPage->StartRecording(path));
        w.dataLogPage->PVCPicTimer_Timer();
        QFile other(path);
        QVERIFY(other.open(QIODevice::Append) && other.write(",,,,,,,,another writer\n") > 0);
        other.close();
        const QByteArray before = ReadFile(path);
        const qint64 size = QFileInfo(path).size();
        f.dialogs.expectMsg("Recording to " + path + " stopped: File too large");
        {
            DiskFull halfALine(rlim_t(size + 20));
            w.dataLogPage->PVCPicTimer_Timer();
            w.dataLogPage->PVCPicTimer_Timer(); // no second message
        }
        QVERIFY(f.dialogs.allShown() && !w.dataLogPage->Rec.Active());
        QCOMPARE(ReadFile(path), before);
        w.close();
        QCOMPARE(ReadFile(path), before); // no end line into a stopped recording
    }
};

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--save-forever")
        return saveForever(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestSafety test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_safety.moc"
