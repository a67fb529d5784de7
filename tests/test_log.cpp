#include "ChartDraw.h"
#include "ChartImage.h"
#include "ChartReadout.h"
#include "ChartScale.h"
#include "ChartSurface.h"
#include "DataLogPage.h"
#include "EnergyMeter.h"
#include "LogExport.h"
#include "LogTables.h"
#include "Module1.h"
#include "Panel.h"
#include "Recorder.h"

#include "SampleStore.h"
#include "Timeline.h"
#include "WindowFixture.h"
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>

using namespace ChartScale;
using namespace Module1;

namespace {

const QColor Yellow(255, 255, 0), Red(255, 0, 0), Green(0, 128, 0);

template <typename Texts> QString joined(const Texts &texts) {
    return QStringList(texts.begin(), texts.end()).join(u' ');
}

// The chart of a 431 x 345 surface (5175 x 4125 twips), live at 2 s.
QImage drawn(const Scale &s, const SampleStore &store, qint64 intervalMs = 2000) {
    QImage image(431, 345, QImage::Format_RGB32);
    QPainter p(&image);
    const Mapping m = ReadMapping(s, 431, 345, 4.0 * intervalMs / 1000, true);
    ChartDraw::Frame(p, m);
    ChartDraw::Traces(p, m, store, intervalMs);
    return image;
}

// A PDF's text, in reading order.
// Empty where poppler-utils cannot run (the Windows build under Wine).
QString pdfText(const QString &pdf) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        return {};
    QProcess text;
    text.start("pdftotext", {"-raw", pdf, "-"});
    if (!text.waitForFinished(10000))
        qWarning("pdftotext (poppler-utils) is needed");
    return QString::fromUtf8(text.readAllStandardOutput());
}

int count(const QImage &image, const QColor &colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

// A page of its own on a real database file, with a 30 V / 3 A supply.
struct PageFixture {
    QTemporaryDir dir;
    Database db;
    ScriptedDialogs dialogs;
    ManualClock clock;
    DataLogPage page{db, dialogs, clock};
    PageFixture() {
        ResetSharedState();
        MaxVolt = 30;
        MaxCurr = 3;
        Connected = true;
        db.Open(dir.filePath(Database::FileName));
        page.SetUp({});
        page.Tell = [this](const QString &text) { told = text; };
    }
    void name(const QString &text) { page.Combo3[LogName]->setEditText(text); }
    // A drag on the chart by (dx, dy) divisions, in `steps` mouse moves.
    void drag(double dx, double dy, int steps = 1) {
        ChartSurface *c = page.Picture1;
        const QPointF from(c->width() / 2.0, c->height() / 2.0);
        const QPointF by(dx * c->width() / 10.0, dy * c->height() / 10.0);
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= steps; ++i)
            send(QEvent::MouseMove, from + by * i / steps, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, from + by, Qt::LeftButton, Qt::NoButton);
    }
    void send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, at, page.Picture1->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(page.Picture1, &e);
    }
    QString told; // the page's last status line
    QString field(int i) const { return page.Combo3[size_t(i)]->currentText(); }
    QString times() const {
        QStringList t;
        for (QLabel *l : page.Label9)
            t << l->text();
        return t.join(u' ');
    }
};

} // namespace

class TestLog : public QObject {
    Q_OBJECT
private slots:
    void scaleFields() {
        // Field, key, typed text -> field text, the axis' labels 1 and last.
        struct Case {
            int index, key;
            const char *text, *field, *labels;
        };
        const Case cases[]{
            {TimeDiv, KeyEnter, "2", "2s", "4s 20s"},
            {TimeDiv, KeyRight, "1.5M", "1.5m", "3m 15m"},
            {TimeDiv, KeyEnter, "0", "1m", "2m 10m"},
            {TimeDiv, KeyLeft, "400s", "1m", "2m 10m"},
            {TimeDiv, KeyEnter, "15s", "15s", "30s 150s"},
            {TimeMin, KeyRight, "0m", "1m", "2m 6m"},
            {TimeMin, KeyLeft, "0m", "-1m", "0m 4m"},
            {TimeMin, KeyLeft, "-59m", "-60m", "-59m -55m"},
            {TimeMin, KeyEnter, "-61", "0m", "1m 5m"},
            {TimeMin, KeyRight, "900m", "0m", "1m 5m"},
            {TimeMin, KeyLeft, "-3600s", "0s", "1m 5m"},
            {TimeMin, KeyEnter, "90s", "90s", "150s 390s"},
            {VoltDiv, KeyEnter, "0", "03.0V", "03.0V 30.0V"}, // "03.0v" still reads as 3
            {VoltDiv, KeyEnter, "1,5", "01.0V", "01.0V 10.0V"},
            {VoltDiv, KeyEnter, "0.03", "03.0V", "03.0V 30.0V"}, // shown as 00.0: taken as 0
            {CurrDiv, KeyEnter, "0.004", "0.30A", "0.30A 3.00A"},
            {TimeDiv, KeyEnter, "0.0001M", "0.0001m", "0m 0m"}, // no "1e-04m"
            {TimeMin, KeyEnter, "0.00001m", "0.00001m", "1m 5m"},
            {VoltMin, KeyEnter, "-31", "00.0V", "03.0V 30.0V"},
            {VoltMin, KeyEnter, "5", "05.0V", "08.0V 35.0V"},
            {CurrDiv, KeyEnter, "4", "0.30A", "0.30A 3.00A"},
            {CurrMin, KeyRight, "-3.5", "0.00A", "0.30A 3.00A"},
            {CurrDiv, KeyEnter, "0.055", "0.06A", "0.06A 0.55A"},
        };
        for (const Case &c : cases) {
            Scale s = StartScale(true, 30, 3);
            s.field[size_t(c.index)] = c.text;
            const Scale before = s;
            QVERIFY(!KeyEdit(s, c.index, 65, 30, 3)); // other keys change nothing
            QCOMPARE(s.field, before.field);
            QVERIFY(KeyEdit(s, c.index, c.key, 30, 3));
            QCOMPARE(s.field[size_t(c.index)], QString(c.field));
            const QString labels = c.index >= TimeDiv   ? s.time[1] + u' ' + s.time[5]
                                   : c.index >= CurrDiv ? s.curr[1] + u' ' + s.curr[10]
                                                        : s.volt[1] + u' ' + s.volt[10];
            QCOMPARE(labels, QString(c.labels));
        }
        QCOMPARE(joined(StartScale(true, 30, 3).time), QString("0m 1m 2m 3m 4m 5m"));

        // Start texts, lists, a list pick and "Default".
        QCOMPARE(StartScale(false, 60, 5).field[VoltDiv], QString("03.0V"));
        QCOMPARE(StartScale(true, 60, 5).field[CurrDiv], QString("0.50A"));
        QCOMPARE(List(VoltMin, 30, 3).join(u' '),
                 QString("27.0V 24.0V 21.0V 18.0V 15.0V 12.0V 09.0V 06.0V 03.0V 00.0V"));
        QCOMPARE(List(CurrDiv, 30, 3).join(u' '), QString("0.50A 0.20A 0.10A 0.05A 0.02A 0.01A"));
        Scale s = StartScale(true, 30, 3);
        s.field[VoltMin] = "12,0V";
        s.field[TimeDiv] = "0s";
        Pick(s, VoltMin);
        QCOMPARE(s.volt[10], QString("42.0V"));
        QCOMPARE(s.field[TimeDiv], QString("1s"));
        Defaults(s, 20, 2);
        QCOMPARE(joined(s.time), QString("0m 1m 2m 3m 4m 5m"));
        QCOMPARE(s.volt[10] + s.curr[5] + s.field[VoltDiv] + s.field[TimeDiv],
                 QString("20.0V1.00A02.0V30s"));
    }

    void chartPixels() {
        const Scale s = StartScale(true, 30, 3);
        SampleStore store;
        const QImage frame = drawn(s, store);
        // Grid every 34 rows and 43 columns, the centre lines two wide, black between.
        QCOMPARE(frame.pixelColor(5, 34), Green);
        QCOMPARE(frame.pixelColor(43, 5), Green);
        QCOMPARE(frame.pixelColor(430, 5), Green);
        QCOMPARE(frame.pixelColor(5, 172), Green);
        QCOMPARE(frame.pixelColor(215, 5), Green);
        QCOMPARE(frame.pixelColor(5, 5), QColor(Qt::black));
        QCOMPARE(count(frame, Yellow) + count(frame, Red), 0); // an empty store: the frame only

        // Slot 2 sits on the left edge (x 0), slot 3 two seconds later (x 3).
        store.at(1, 1) = store.at(2, 1) = 1; // never drawn
        store.at(1, 2) = 12, store.at(2, 2) = 0.6f;
        store.at(1, 3) = 24, store.at(2, 3) = 0.9f;
        QImage image = drawn(s, store);
        QCOMPARE(image.pixelColor(0, 206), Yellow);
        QCOMPARE(image.pixelColor(3, 69), Yellow);
        QCOMPARE(image.pixelColor(0, 275), Red);
        QCOMPARE(image.pixelColor(3, 241), Red);

        // A flat trace with slot 10 empty: the segments on both sides of it are missing.
        store.Clear();
        for (int k = 2; k <= 20; ++k)
            store.at(1, k) = 12;
        store.at(1, 10) = SampleStore::None;
        image = drawn(s, store);
        for (int x = 3; x <= 40; ++x)
            QCOMPARE(image.pixelColor(x, 206) == Yellow, x <= 20 || x >= 26);

        // Empty ranges leave their traces out; the frame stays.
        for (int k = 2; k <= 20; ++k)
            store.at(2, k) = 1;
        Scale flat = s;
        flat.volt.fill("05.0V");
        image = drawn(flat, store);
        QVERIFY(count(image, Yellow) == 0 && count(image, Red) > 0);
        flat.time.fill("1m");
        image = drawn(flat, store);
        QVERIFY(count(image, Red) == 0 && image.pixelColor(5, 34) == Green);
    }

    void samplingTimeline() {
        struct Case {
            qint64 now, start, count, startAfter, countAfter, missed;
            int period;
        };
        const QList<Case> cases{
            {12000, 10000, 0, 10000, 1, 0, 2000},         // on time
            {12300, 10000, 0, 10000, 1, 0, 1700},         // a little late: the rest of the period
            {11900, 10000, 0, 10000, 1, 0, 2000},         // early: never more than one interval
            {14000, 10000, 0, 10000, 2, 1, 2000},         // one interval late: one slot missed
            {14100, 10000, 0, 10000, 2, 1, 1900},         // and the timeline keeps its phase
            {3610000, 10000, 5, 10000, 1800, 1794, 2000}, // an hour asleep: its slots empty
            {9000, 10000, 3, 7000, 1, 0, 2000},           // a clock gone back: a new timeline
        };
        for (const Case &c : cases) {
            const Timeline::Tick t = Timeline::Next(c.now, c.start, c.count, 2000);
            QCOMPARE(QList<qint64>({t.startMs, t.count, t.missed, t.periodMs}),
                     QList<qint64>({c.startAfter, c.countAfter, c.missed, c.period}));
        }

        // The page's ticks on the monotonic clock: slot 1 is the newest reading, a trace shows
        // from the third tick on, and the wall clock jumping changes nothing.
        PageFixture f;
        f.page.resize(940, 480);
        Timeline::Restart(f.clock);
        MeasVolt = 12, MeasCurr = 1;
        for (int tick = 1; tick <= 3; ++tick) {
            f.clock.advance(2000);
            MeasAtMs = f.clock.MonotonicMs();             // the poll just before
            f.clock.setSecondsSinceMidnight(tick * 3600); // summer time, a clock set by hand
            f.page.PVCPicTimer_Timer();
            QCOMPARE(count(f.page.Picture1->Image(), Yellow) > 0, tick == 3);
            QCOMPARE(f.page.PVCPicTimer->interval(), 2000);
        }
        QCOMPARE(LogCount, qint64(3));
        // A tick held up 2.5 intervals (a blocking exchange): the two slots it missed stay
        // empty, and the samples and cursors before stay as far back as they were taken.
        f.page.Cursors.a = 2;
        f.clock.advance(7000);
        MeasAtMs = f.clock.MonotonicMs() - 2 * PollInterval - 650; // as old as a fresh one gets
        f.page.PVCPicTimer_Timer();
        QCOMPARE(QList<float>({LiveStore.at(1, 1), LiveStore.at(1, 2), LiveStore.at(1, 3),
                               LiveStore.at(1, 4), LiveStore.at(1, 6), LiveStore.at(1, 7),
                               float(LogCount), float(f.page.PVCPicTimer->interval()),
                               float(*f.page.Cursors.a)}),
                 QList<float>({12, -1, -1, 12, 12, -1, 6, 1000, 5}));
        // An hour asleep and the link lost: a gap of an hour, and no reading without a supply.
        Connected = false;
        f.clock.advance(3600000);
        f.page.PVCPicTimer_Timer();
        QVERIFY(LiveStore.at(1, 1) == -1 && LiveStore.at(1, 1800) == -1 &&
                LiveStore.at(1, 1801) == 12);
        // The link up but the polls stopped: a reading a millisecond older than the freshest
        // is no sample either.
        Connected = true;
        f.clock.advance(2000);
        MeasAtMs = f.clock.MonotonicMs() - 2 * PollInterval - 651;
        f.page.PVCPicTimer_Timer();
        QCOMPARE(LiveStore.at(1, 1), -1.0f);
    }

    void logsRoundTrip() {
        PageFixture f;
        DataLogPage &p = f.page;
        QVERIFY(!p.ToolButton(3)->isEnabled() && !p.ToolButton(4)->isEnabled());
        LiveStore.Clear();
        LiveStore.at(1, 1) = 12.3f, LiveStore.at(2, 1) = 1.5f;
        LiveStore.at(1, 3600) = 1, LiveStore.at(2, 3600) = 0.25f;
        LiveStore.at(1, 2) = 5; // no current: no sample
        SampleMs = 500;
        f.name("Test");
        QVERIFY(p.ToolButton(3)->isEnabled() && !p.ToolButton(4)->isEnabled());
        p.Toolbar1_ButtonClick(3);
        SampleMs = 2000;
        f.name("Other");
        p.MnuSave_Click();
        QCOMPARE(f.told, QString("Log 'Other' saved (2 samples)"));
        QCOMPARE(f.db.TableNames(), QStringList({"D__5Test", "QVRLOG", "D_02Other"}));
        QCOMPARE(p.Combo3[LogName]->currentText(), QString("Other"));
        const QList<QStringList> rows = f.db.ReadAll("D__5Test");
        QVERIFY(rows.size() == 100 && rows[0].size() == 36);
        QCOMPARE(rows[0][0] + rows[0][1] + rows[99][35], QString("12.31.5099.99.9901.00.25"));
        QCOMPARE(f.db.ReadAll("D_02Other"), rows);

        // "test" is Test's log: its table is rewritten and keeps its 0.5 s name.
        LiveStore.at(1, 1) = 20;
        f.name("test");
        QVERIFY(p.ToolButton(4)->isEnabled());
        f.dialogs.expectMsg("Table 'test' log already exist. Overwrte it ?", Dialogs::Answer::No);
        p.MnuSave_Click();
        QCOMPARE(f.db.ReadAll("D__5Test"), rows);
        f.clock.advance(68 * 1000); // the overwrite's own time, for the clock times read back
        f.dialogs.expectMsg("Table 'test' log already exist. Overwrte it ?", Dialogs::Answer::Yes);
        p.MnuSave_Click();
        QCOMPARE(f.db.ReadAll("D__5Test")[0][0], QString("20.01.50"));
        QVERIFY(!f.db.TableExists("D_02test"));

        // Readings the slot's layout cannot hold are kept as no sample; the rest is saved.
        LiveStore.at(1, 1800) = 123.4f, LiveStore.at(2, 1800) = 1;
        LiveStore.at(1, 1801) = -5, LiveStore.at(2, 1801) = 0.5f;
        f.dialogs.expectMsg("Table 'test' log already exist. Overwrte it ?", Dialogs::Answer::Yes);
        p.MnuSave_Click();
        const QList<QStringList> saved = f.db.ReadAll("D__5Test");
        QCOMPARE(saved[49][35] + saved[50][0] + saved[0][0], QString("99.99.9999.99.9920.01.50"));

        // Leaving the box with a stored name typed opens nothing: only a pick from the list does.
        f.name("Other");
        emit p.Combo3[LogName]->lineEdit()->editingFinished();
        QVERIFY(!p.Option3[1]->isChecked());
        // Opening a log: its interval, its samples, its last save's time; "Log" shown.
        f.clock.advance(3600 * 1000);
        p.Combo3[LogName]->setCurrentIndex(0);
        p.Combo3_Click(LogName);
        QVERIFY(LogSampleMs == 500 && LogStore.at(1, 1) == 20 && LogStore.at(2, 3600) == 0.25f);
        QCOMPARE(LogStore.at(1, 2), -1.0f);
        QCOMPARE(p.LogCreated, f.clock.CurrentDateTime().addSecs(-3600));
        QVERIFY(p.Option3[1]->isChecked() && !p.ToolButton(3)->isEnabled());

        // Delete: an unknown name, No, then Yes.
        f.name("nothing");
        f.dialogs.expectMsg("' nothing ' log no exist !");
        p.MnuDele_Click();
        f.name("TEST");
        f.dialogs.expectMsg("Are you sure to delete th log 'TEST' ?", Dialogs::Answer::No);
        p.MnuDele_Click();
        QVERIFY(f.db.TableExists("D__5Test"));
        f.dialogs.expectMsg("Are you sure to delete th log 'TEST' ?", Dialogs::Answer::Yes);
        p.Toolbar1_ButtonClick(4);
        QCOMPARE(f.db.TableNames(), QStringList({"QVRLOG", "D_02Other"}));
        QVERIFY(f.db.ReadAll("QVRLOG").size() == 1 && p.Combo3[LogName]->count() == 1);
        QVERIFY(p.Option3[0]->isChecked() && !p.Option3[1]->isEnabled());
        QVERIFY(!p.ToolButton(4)->isEnabled() && !p.ToolButton(3)->isEnabled());
        QCOMPARE(p.Combo3[LogName]->currentText(), QString()); // not the other log's name

        // A log without a catalogue entry (an older file) still opens.
        f.db.RewriteTable("D_05Old", LogTables::FieldDefs(), {QStringList(36, "01.00.10")});
        p.SetUp(f.db.TableNames());
        p.Combo3[LogName]->setCurrentIndex(1);
        p.Combo3_Click(LogName);
        QVERIFY(LogSampleMs == 5000 && LogStore.at(2, 36) == 0.1f && !p.LogCreated);
        QCOMPARE(LogStore.at(2, 37), -1.0f); // not in the table: no sample
        QVERIFY(f.dialogs.allShown());
    }

    void moveAndZoom();
    void exportFiles();
    void printedPage();
    void readingRules();
    void cursorsOnThePage();
    void recordingFile();

    void pageInTheWindow() {
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        DataLogPage *p = w.dataLogPage;
        p->Picture1_Set_PVC(); // another page is showing: nothing drawn
        QVERIFY(p->PVCPicTimer->isActive() && p->Picture1->Image().isNull());

        w.Timer1->start(2000);
        QTest::qWait(400);
        p->Combo3[TimeDiv]->lineEdit()->setSelection(0, 2);
        w.Tab1->setCurrentIndex(3);
        QVERIFY(!p->Picture1->Image().isNull() &&
                !p->Combo3[TimeDiv]->lineEdit()->hasSelectedText());
        // Drawing leaves polling in its phase: a restarted period would thin out the polls.
        QVERIFY(w.Timer1->isActive() && w.Timer1->remainingTime() < 1800);
        w.Timer1->start(PollInterval);
        QCOMPARE(p->Label4[10]->text(), QString("30.0V"));

        // Enter in a field, typed as the operator types it.
        p->Combo3[TimeDiv]->setEditText("15");
        QTest::keyClick(p->Combo3[TimeDiv], Qt::Key_Return);
        QCOMPARE(p->Combo3[TimeDiv]->currentText() + p->Label9[1]->text(), QString("15s30s"));
        QCOMPARE(p->Combo3[TimeDiv]->count(), 8); // nothing added to the list
        // '%' and the apostrophe have the codes of Left and Right: typed, they stay characters.
        p->Combo3[TimeMin]->setEditText("2");
        QTest::keyClicks(p->Combo3[TimeMin], "%'");
        QCOMPARE(p->Combo3[TimeMin]->currentText(), QString("2%'"));

        // Any panel button while connected puts the scales back.
        w.panel->Text2[1]->setText("1");
        w.panel->Command4_Click(0);
        QCOMPARE(p->Combo3[TimeDiv]->currentText() + p->Label9[1]->text(), QString("30s1m"));

        // Activation restarts the timeline.
        f.clock.setMonotonicMs(100250);
        w.Form_Activate();
        QVERIFY(LogStartMs == 100250 && LogCount == 0);

        Connected = false;
        f.dialogs.expectMsg(NotReadyMsg);
        p->MnuDefa_Click();
        QVERIFY(f.dialogs.allShown());
    }
};

void TestLog::moveAndZoom() {
    PageFixture f;
    DataLogPage &p = f.page;
    p.resize(940, 480);
    p.Toolbar1_ButtonClick(1); // Move
    QVERIFY(!p.ToolButton(1)->isEnabled() && p.ToolButton(2)->isEnabled());
    QVERIFY(p.Picture1->cursor().shape() == Qt::BitmapCursor &&
            p.Combo3[1]->cursor().shape() == Qt::ArrowCursor);
    QVERIFY(p.MnuTime->isChecked() && !p.MnuVolt->isChecked()); // time marked from the start
    f.drag(-0.9, 0);
    QCOMPARE(f.times(), QString("0m 1m 2m 3m 4m 5m"));
    f.drag(-1.5, 0);
    QCOMPARE(f.times(), QString("30s 90s 150s 210s 270s 330s"));
    QCOMPARE(f.field(TimeMin), QString("30s"));
    f.drag(-2.5, 0, 10); // two steps, whether the mouse reports often
    f.drag(-2.5, 0, 1);  // or once
    QCOMPARE(f.times(), QString("150s 210s 270s 330s 390s 450s"));
    f.drag(4.2, 0);
    QCOMPARE(f.times(), QString("30s 90s 150s 210s 270s 330s"));

    p.MnuTime->trigger();
    p.MnuVolt->trigger();
    f.drag(0, 1.5); // down: higher values
    QCOMPARE(p.Label4[0]->text() + p.Label4[10]->text() + f.field(VoltMin),
             QString("03.0V33.0V03.0V"));

    p.Toolbar1_ButtonClick(2); // Zoom
    QVERIFY(p.ToolButton(1)->isEnabled() && !p.ToolButton(2)->isEnabled());
    f.drag(0, -1.5); // in, around the middle label 18 V
    QCOMPARE(f.field(VoltDiv) + p.Label4[0]->text() + p.Label4[10]->text(),
             QString("02.0V08.0V28.0V"));
    f.drag(0, 40); // out until the limit of 20 x 30 V
    const QString widest = f.field(VoltDiv);
    for (const QLabel *l : p.Label4) // every label as wide as its text
        QVERIFY2(l->width() >= l->fontMetrics().horizontalAdvance(l->text()),
                 qPrintable(l->text()));
    QVERIFY(Number(widest) >= 600 && Number(widest) < 900);
    f.drag(0, 1.5);
    QCOMPARE(f.field(VoltDiv), widest);

    p.MnuVolt->trigger();
    p.MnuTime->trigger();
    f.drag(0, -1.5); // 30 s a division, 30 s to 330 s: 20 s around 180 s
    QCOMPARE(f.times(), QString("80s 2m 160s 200s 4m 280s"));
    QCOMPARE(f.field(TimeDiv) + f.field(TimeMin), QString("20s80s"));

    // The menu on a right click, brought up to date.
    f.send(QEvent::MouseButtonRelease, QPointF(5, 5), Qt::RightButton, Qt::NoButton);
    QVERIFY(p.ChartMenu->isVisible());
    QVERIFY(p.MnuNow->isChecked() && !p.MnuLog->isEnabled() && !p.MnuZoom->isEnabled());
    QCOMPARE(p.MnuExport->text(), QString("Export Now"));
    p.ChartMenu->hide();
    p.MnuExit->trigger();
    QVERIFY(p.ToolButton(1)->isEnabled() && p.ToolButton(2)->isEnabled() &&
            p.Picture1->cursor().shape() == Qt::ArrowCursor);
}

void TestLog::exportFiles() {
    SampleStore store;
    const QByteArray header = "Time(S)\tVoltage(V)\tCurrent(A)\r\n";
    QCOMPARE(LogExport::Text(store, 2000), header);
    store.at(1, 3) = 12.3f, store.at(2, 3) = 1.5f;
    store.at(1, 5) = 0.1f, store.at(2, 5) = -0.25f;
    store.at(1, 4) = 7; // a voltage without its current is no sample
    QCOMPARE(LogExport::Text(store, 2000),
             header + "0\t\t\t\r\n2\t\t\t\r\n4\t12.3\t 1.5 \r\n6\t\t\t\r\n8\t0.1\t-0.25 \r\n");
    QVERIFY(LogExport::Text(store, 500).endsWith("\r\n2\t0.1\t-0.25 \r\n"));
    QCOMPARE(LogExport::XlsPath("/o/run.2/test.csv") + LogExport::XlsPath("/o/run.2/test") +
                 LogExport::XlsPath("/a/Log v1.2.csv"),
             QString("/o/run.2/test.xls/o/run.2/test/a/Log v1.xls"));

    // Through the command, on real files.
    PageFixture f;
    QDir(f.dir.path()).mkdir("run.2");
    const QString target = f.dir.filePath("run.2/Now.xls");
    LiveStore.Clear();
    LiveStore.at(1, 1) = 5, LiveStore.at(2, 1) = 0.5f;
    f.dialogs.expectSave(f.dir.filePath("run.2/Now.csv"));
    f.page.MnuExport_Click();
    QCOMPARE(f.told, "Exported 1 line to " +
                         QDir::toNativeSeparators(target)); // the status line, a few seconds
    QCOMPARE(f.dialogs.shown.last().text, QString("Export|Now2026-01-05|*.xls|csv"));
    const QByteArray before = ReadFile(target);
    QCOMPARE(before, header + "0\t5\t 0.5 \r\n");
    const QString question = "File 'Now.xls' already exist. Overwrte it ?";
    LiveStore.at(1, 2) = 6, LiveStore.at(2, 2) = 0.6f;
    f.dialogs.expectSave(target);
    f.dialogs.expectMsg(question, Dialogs::Answer::No);
    f.page.MnuExport_Click();
    QCOMPARE(ReadFile(target), before);

    f.dialogs.expectSave(f.dir.filePath("missing/x"));
    f.dialogs.expectMsg(QString("Cannot write %1: %2")
                            .arg(QDir::toNativeSeparators(f.dir.filePath("missing/x")),
                                 NoFolderText(f.dir.filePath("missing/x"))));
    f.page.MnuExport_Click();
    f.dialogs.expectSave(std::nullopt); // cancelled: nothing
    f.page.MnuExport_Click();
    QVERIFY(f.dialogs.allShown());
}

void TestLog::printedPage() {
    PageFixture f;
    DataLogPage &p = f.page;
    LiveStore.Clear();
    for (int k = 2; k <= 200; ++k)
        LiveStore.at(1, k) = 12, LiveStore.at(2, k) = 1;
    const QString pdf = f.dir.filePath("now.pdf");
    f.clock.setSecondsSinceMidnight(3723);
    f.dialogs.expectPrint(pdf);
    p.Toolbar1_ButtonClick(5);
    const QString page = pdfText(pdf);
    if (page.isEmpty() && ReadFile(pdf).startsWith("%PDF"))
        QSKIP("a PDF was printed; reading it needs poppler-utils");
    qsizetype at = 0;
    for (const char *item :
         {"DESCRIPTION:", "Samples time: 2s", "Voltage", "Current", "Time: 2026-01-05 01:02:03",
          "00.0V", "0.00A", "03.0V", "0.30A", "30.0V", "3.00A", "0m", "1m", "5m"}) {
        const qsizetype next = page.indexOf(QLatin1String(item), at);
        QVERIFY2(next >= 0, qPrintable(QString(item) + " missing or out of order in:\n" + page));
        at = next + qsizetype(strlen(item));
    }
    // The traces in their paper colours.
    QProcess render;
    render.start("pdftoppm", {"-r", "40", "-png", "-singlefile", pdf, f.dir.filePath("now")});
    QVERIFY(render.waitForFinished(10000));
    const QImage image(f.dir.filePath("now.png"));
    QVERIFY(count(image, QColor(255, 0, 0)) > 0 || count(image, Red) > 0);

    f.dialogs.expectPrint(std::nullopt); // cancelled: no page
    p.MnuPrin_Click();
    QVERIFY(f.dialogs.allShown());
}

// Statistics, cursors and counters by hand-computed cases.
void TestLog::readingRules() {
    using namespace ChartReadout;
    SampleStore store;
    // Slots `from` to `to` at `volt`, the current rising by `rise` a slot from `curr`.
    const auto fill = [&store](int from, int to, double volt, double curr, double rise = 0) {
        for (int k = from; k <= to; ++k)
            store.at(1, k) = float(volt), store.at(2, k) = float(curr + rise * (k - from));
    };
    const auto text = [](const Stats &s) {
        return ChargeText(s.ah) + u' ' + EnergyText(s.wh) +
               QString(" %1/%2/%3 ").arg(s.samples).arg(s.gaps).arg(s.skipped) +
               DurationText(s.seconds);
    };
    // 1.00 A at 12 V for 3600 s at 2 s sampling: 1800 segments, 1 Ah, 12 Wh.
    fill(1, 1801, 12, 1);
    QCOMPARE(text(Compute(store, 1801, 1, 2000, false)),
             QString("1.000 Ah 12.00 Wh 1801/0/0 1:00:00"));
    // A ramp 0 -> 1 A over 100 s at 1 s: the mean current 0.5 A, 50 As.
    store.Clear();
    fill(1, 101, 5, 0, 0.01);
    Stats s = Compute(store, 1, 101, 1000, true);
    QCOMPARE(text(s), QString("13.9 mAh 69.4 mWh 101/0/0 1:40"));
    QVERIFY(qAbs(s.iMean - 0.5) < 1e-6);
    QCOMPARE(*s.dI, 1.0); // B minus A
    // Gaps: the two segments touching slot 50 are left out and counted.
    store.at(2, 50) = SampleStore::None;
    QCOMPARE(text(Compute(store, 1, 101, 1000, false)), QString("13.6 mAh 68.1 mWh 100/1/2 1:40"));
    // An empty stretch, and the texts of the units.
    store.Clear();
    s = Compute(store, 2, 10, 500, true);
    QCOMPARE(text(s), QString("0.0 mAh 0.0 mWh 0/0/0 0.0 s"));
    QVERIFY(!s.dV && Rows(s, true).size() == 5); // no minimum or mean
    // Just after the start: slots older than the first sample are not gaps.
    fill(2, 4, 5, 1);
    QCOMPARE(text(Compute(store, 1, 3600, 2000, false)), QString("1.1 mAh 5.6 mWh 3/1/1 6.0 s"));
    QCOMPARE(ChargeText(0.0125) + EnergyText(2.5), QString("12.5 mAh2.50 Wh"));
    QCOMPARE(DurationText(59.94) + ' ' + DurationText(3599) + ' ' + DurationText(90061),
             QString("59.9 s 59:59 25:01:01"));

    // Cursors: A, B, A again; they ride along as the live store moves, and fall off its end.
    Cursors c;
    c.Click(5), c.Click(9);
    QVERIFY(c.Pair() && *c.a == 5);
    c.Click(7);
    QVERIFY(*c.a == 7 && !c.b);
    c.b = SampleStore::Slots;
    c.Shift();
    QVERIFY(*c.a == 8 && !c.b);

    // Under the pointer on a live 2 s chart of 431 pixels: slot 2 at x 0, slot 3 at x 3.
    store.Clear();
    fill(2, 20, 12.5, 0.25);
    store.at(1, 10) = SampleStore::None;
    const Scale scale = StartScale(true, 30, 3);
    const Mapping m = ReadMapping(scale, 431, 345, 8, true);
    Slots chart{&store, 2000, 8, QDateTime(QDate(2026, 1, 5), QTime(10, 0, 0))};
    QCOMPARE(SlotAt(chart, m, 0.4), std::optional<int>(2));
    QCOMPARE(SlotAt(chart, m, 22.5), std::optional<int>(9)); // slot 10 is a gap: the nearer one
    QCOMPARE(SlotAt(chart, m, 200), std::nullopt);           // no sample near the pointer
    QCOMPARE(Readout(chart, 9), QStringList({"14s  09:59:44", "12.50 V", "0.250 A", "3.13 W"}));
    QCOMPARE(*WindowSlots(chart, m), std::pair(2, 152)); // 0m to 5m
    chart.newest.reset();
    chart.intervalMs = 500, chart.offsetHalfS = 2; // 0.5 s sampling: slot 9 is 3.5 s old
    QCOMPARE(Readout(chart, 9).first(), QString("3.5s"));

    // The counters integrate every reading: 300 ms polls, 2 A at 10 V for an hour is 2 Ah and
    // 20 Wh, whatever the sampling; polls without a reading and a long pause are blind.
    EnergyMeter meter;
    for (qint64 t = 0; t <= 3'600'000; t += 300)
        meter.Reading(t, 10, 2);
    QVERIFY(qAbs(meter.Ah() - 2) < 1e-9 && qAbs(meter.Wh() - 20) < 1e-9);
    meter.Reading(3'600'300, -1, -1);
    meter.Reading(3'600'600, 10, 2);
    meter.Reading(3'610'600, 10, 2); // ten seconds without a poll
    QCOMPARE(meter.CoveredMs(), qint64(3'600'000));
    QCOMPARE(meter.BlindMs(), qint64(10'600));
    meter.Zero();
    QCOMPARE(meter.Ah() + meter.CoveredMs() + meter.BlindMs(), 0.0);
}

// Hover, cursors and statistics on the page, the chart's own pixels untouched, and the chart
// saved as an image.
void TestLog::cursorsOnThePage() {
    PageFixture f;
    DataLogPage &p = f.page;
    p.resize(940, 480);
    p.show(); // laid out at its size, and Escape reaches its shortcut
    QVERIFY(QTest::qWaitForWindowActive(&p));
    LiveStore.Clear();
    for (int k = 2; k <= 152; ++k)
        LiveStore.at(1, k) = 12, LiveStore.at(2, k) = 1;
    p.RedrawByMode();
    const double slotPx = p.Picture1->width() / 150.0; // 5 minutes of 2 s slots
    const auto at = [&](int slot) { return QPointF((slot - 2) * slotPx, 100); };
    f.clock.setSecondsSinceMidnight(36000);
    p.PVCPicTimer_Timer(); // the newest sample taken at 10:00:00
    LiveStore.at(1, 1) = LiveStore.at(2, 1) = SampleStore::None;
    p.RedrawByMode();
    const QImage chart = p.Picture1->Image();
    f.send(QEvent::MouseMove, at(12), Qt::NoButton, Qt::NoButton);
    QCOMPARE(p.Cursors.hover, std::optional<int>(12));
    QCOMPARE(ChartReadout::Readout(p.ShownSlots(), 12),
             QStringList({"20s  09:59:38", "12.00 V", "1.000 A", "12.00 W"}));
    for (int slot : {12, 102}) {
        f.send(QEvent::MouseButtonPress, at(slot), Qt::LeftButton, Qt::LeftButton);
        f.send(QEvent::MouseButtonRelease, at(slot), Qt::LeftButton, Qt::NoButton);
    }
    QVERIFY(p.Cursors.Pair());
    QVERIFY(p.Stats->PlainText().contains("Duration: 3:00\nSamples: 91, gaps 0"));
    QVERIFY(p.Stats->PlainText().contains("Charge: 50.0 mAh\nEnergy: 600.0 mWh"));
    QCOMPARE(p.Picture1->Image(), chart); // marks go over the image, never into it
    p.PVCPicTimer_Timer();                // the live trace moves on: so do the cursors
    QCOMPARE(*p.Cursors.a + *p.Cursors.b, 12 + 102 + 2);
    QTest::keyClick(p.Picture1, Qt::Key_Escape);
    QVERIFY(!p.Cursors.a && p.Stats->PlainText().startsWith("Stretch: time window"));

    // The image in each format, through a temporary file: a failure leaves the old one whole.
    f.send(QEvent::MouseButtonRelease, at(50), Qt::LeftButton, Qt::NoButton);
    for (const char *name : {"chart.png", "chart.svg", "chart.pdf", "plain"}) {
        f.dialogs.expectSave(f.dir.filePath(name));
        p.MnuImage->trigger();
        // Without Qt SVG (Windows) ".svg" is no known extension: a PNG named "chart.svg.png".
        const bool png = QByteArray(name) == "plain" ||
                         (QByteArray(name) == "chart.svg" && !ChartImage::Filter().contains("svg"));
        QVERIFY2(ReadFile(f.dir.filePath(name) + (png ? ".png" : "")).size() > 1000, name);
    }
    // Read back: the PNG's size and its voltage trace, the SVG as XML, the PDF's text.
    const QImage saved(f.dir.filePath("plain.png"));
    QCOMPARE(saved.size(), QSize(1200, 1125));
    QVERIFY(count(saved, QColor(128, 128, 0)) > 500);
    QXmlStreamReader xml(ReadFile(f.dir.filePath("chart.svg")));
    while (ChartImage::Filter().contains("svg") && !xml.atEnd())
        xml.readNext();
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    const QString pdf = pdfText(f.dir.filePath("chart.pdf"));
    QVERIFY2((pdf.contains("Samples time: 2s") && pdf.contains("Charge: 82.2 mAh")) ||
                 (pdf.isEmpty() && ReadFile(f.dir.filePath("chart.pdf")).startsWith("%PDF")),
             qPrintable(pdf));
    f.dialogs.expectSave(f.dir.filePath("gone/chart.png"));
    f.dialogs.expectMsg(
        QString("Cannot write %1: %2")
            .arg(QDir::toNativeSeparators(f.dir.filePath("gone/chart.png")),
                 NoFolderText(f.dir.filePath("gone/chart.png"))));
    p.MnuImage->trigger();
    const QByteArray before = ReadFile(f.dir.filePath("chart.png"));
    f.dialogs.expectSave(f.dir.filePath("chart.png"));
    f.dialogs.expectMsg("File 'chart.png' already exists. Replace it?", Dialogs::Answer::No);
    p.MnuImage->trigger();
    QCOMPARE(ReadFile(f.dir.filePath("chart.png")), before);
    QVERIFY(f.dialogs.allShown());
}

// The recording's lines, byte for byte on a real file, across a change of sampling interval, and
// the page's command, status and events.
void TestLog::recordingFile() {
    const QDateTime at(QDate(2026, 12, 7), QTime(10, 53, 17, 5), Qt::OffsetFromUTC, 3600);
    Recording::Context c{"CC", "external step 3 pass 1", 12.3f, 1.5f};
    QCOMPARE(Recording::SampleLine(at, 12.5, 10.5f, 1.5f, c),
             QByteArray("2026-12-07T10:53:17.005+01:00,12.500,10.50,1.500,CC,external step 3 "
                        "pass 1,12.3,1.50,\n"));
    QCOMPARE(Recording::SampleLine(at.toOffsetFromUtc(-12600), 0, -1, -1, {}),
             QByteArray("2026-12-07T06:23:17.005-03:30,0.000,,,,,,,\n")); // no reading
    QCOMPARE(Recording::EventLine(at, 1, "port lost: Serial port lost (port 1, \"a,b\")"),
             QByteArray("2026-12-07T10:53:17.005+01:00,1.000,,,,,,,\"port lost: Serial port lost "
                        "(port 1, \"\"a,b\"\")\"\n"));
    QCOMPARE(Recording::DefaultName(at), QString("QVR 2026-12-07 10-53-17.csv"));

    // On the page: a file chosen, the live store's ticks, an interval change, the end line.
    PageFixture f;
    DataLogPage &p = f.page;
    p.PortText = [] { return QString("port 1 (/dev/ttyUSB0)"); };
    p.RecordContext = [] { return Recording::Context{"CV", "none", {}, {}}; };
    QString status;
    QObject::connect(&p, &DataLogPage::recordingStatus, [&](const QString &s) { status = s; });
    const QString path = f.dir.filePath("run.csv");
    f.clock.setSecondsSinceMidnight(36000);
    f.dialogs.expectSave(path);
    p.ToolButton(6)->trigger();
    QVERIFY(p.Rec.Active() && p.ToolButton(6)->isChecked() && p.MnuRecord->isChecked());
    QCOMPARE(status, QString("Recording to run.csv (188 bytes)"));
    MeasVolt = 12, MeasCurr = 1.25f;
    for (int tick = 0; tick < 2; ++tick) {
        f.clock.advance(2000);
        MeasAtMs = f.clock.MonotonicMs();
        p.PVCPicTimer_Timer();
    }
    SampleMs = 500;
    p.Note("sampling interval 0.5 s");
    MeasVolt = -1;
    f.clock.advance(500);
    p.PVCPicTimer_Timer();
    p.MnuRecord->trigger(); // stops
    QVERIFY(!p.Rec.Active() && !p.ToolButton(6)->isChecked() && status.isEmpty());
    const QString day = f.clock.CurrentDateTime().toString("yyyy-MM-dd");
    const QString zone = Recording::IsoTime(f.clock.CurrentDateTime()).right(6);
    QCOMPARE(QString::fromUtf8(ReadFile(path)),
             QString("time,seconds,voltage,current,mode,running,set_voltage,set_current,event\n"
                     "%1T10:00:00.000%2,0.000,,,,,,,\"recording started, port 1 (/dev/ttyUSB0), "
                     "interval 2 s, limits 30 V 3 A\"\n"
                     "%1T10:00:02.000%2,2.000,12.00,1.250,CV,none,,,\n"
                     "%1T10:00:04.000%2,4.000,12.00,1.250,CV,none,,,\n"
                     "%1T10:00:04.000%2,4.000,,,,,,,sampling interval 0.5 s\n"
                     "%1T10:00:04.500%2,4.500,,,,none,,,\n"
                     "%1T10:00:04.500%2,4.500,,,,,,,recording ended\n")
                 .arg(day, zone));
    // Appended to after a power cut left half a line and zeros: cut back to its last whole line
    // first, and said; a file of nothing but an unfinished line starts afresh with its header.
    const QByteArray whole = ReadFile(path);
    for (const QByteArray &torn : {QByteArray("2026-12-0") + QByteArray(5, '\0'), QByteArray()}) {
        for (const QByteArray &before : {whole, QByteArray()}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(before + torn);
            file.close();
            f.clock.advance(1000);
            QVERIFY(p.StartRecording(path));
            p.StopRecording();
            const QList<QByteArray> lines = ReadFile(path).split('\n');
            // After the start event, before the end line.
            const QByteArray said =
                torn.isEmpty() ? "limits 30 V 3 A\"" : "14 bytes of an unfinished line removed";
            QVERIFY2(ReadFile(path).startsWith(before.isEmpty() ? Recording::Header() : whole) &&
                         lines.value(lines.size() - 3).endsWith(said) &&
                         !ReadFile(path).contains('\0'),
                     ReadFile(path).constData());
        }
    }
    QCOMPARE(Recording::WholeLinesEnd("a\nbc", 100), qint64(102));
    QCOMPARE(Recording::WholeLinesEnd("bc", 100), qint64(102)); // no recording's end: kept
#ifndef Q_OS_WIN // a file open there cannot be removed, and there are no FIFOs
    // The file taken away under a recording: the sync due within syncMs of a line, with no
    // further sample, finds it out, and says so once.
    QVERIFY(p.StartRecording(path));
    p.Rec.syncMs = 50;
    QFile::remove(path);
    f.dialogs.expectMsg("Recording to " + path + " stopped: the file or its folder is gone");
    p.PVCPicTimer_Timer();
    QTRY_VERIFY(!p.Rec.Active() && f.dialogs.allShown());
    // A FIFO: refused at once while nobody reads it; read, it is recorded without syncing.
    const QString fifo = f.dir.filePath("fifo");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    f.dialogs.expectMsg("Cannot record to " + fifo + ": No such device or address");
    QVERIFY(!p.StartRecording(fifo));
    QFile reader(fifo); // opened without waiting for a writer
    QVERIFY(reader.open(::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK),
                        QIODevice::ReadOnly, QFile::AutoCloseHandle));
    QVERIFY(p.StartRecording(fifo)); // its lines synced at once: a pipe is not
    p.StopRecording();
    QCOMPARE(reader.readAll().count('\n'), 3); // the header, start, end
    QVERIFY(p.StartRecording(fifo));           // and a reader that stops reading: no wait
    for (int i = 0; i < 9999 && p.Rec.Sample(1, 1, {}); ++i) {
    }
    QVERIFY(p.Rec.Failure().endsWith(": the program reading it does not keep up"));
#endif
    f.dialogs.expectSave(f.dir.filePath("gone/run.csv"));
    f.dialogs.expectMsg(QString("Cannot record to %1: No such file or directory")
                            .arg(QDir::toNativeSeparators(f.dir.filePath("gone/run.csv"))));
    p.MnuRecord_Click();
    QVERIFY(!p.Rec.Active() && !p.MnuRecord->isChecked() && f.dialogs.allShown());
}

QTEST_MAIN(TestLog)
#include "test_log.moc"
