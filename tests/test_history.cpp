// Recordings read back: what the reader keeps, skips and says, the pyramid and the statistics
// against a direct scan, and the viewer driven as an operator drives it.
#include "DataLogPage.h"
#include "HistoryWindow.h"
#include "Recorder.h"
#include "ScriptedDialogs.h"
#include "StatsPanel.h"
#include "StretchExport.h"
#include "WindowFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QTabWidget>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QToolBar>

using namespace History;

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(10, 0), QTimeZone(3600));

QByteArray Line(double s, float v, float i) {
    return Recording::SampleLine(Start.addMSecs(qint64(s * 1000)), s, v, i,
                                 {QStringLiteral("CV"), QStringLiteral("none"), 12.0f, 1.0f});
}
QByteArray EventAt(double s, const QString &text) {
    return Recording::EventLine(Start.addMSecs(qint64(s * 1000)), s, text);
}
// `n` samples 0.5 s apart from `from` seconds, 12 V and 1 A with a little slope.
QByteArray Samples(double from, int n) {
    QByteArray out;
    for (int k = 0; k < n; ++k)
        out += Line(from + k * 0.5, 12 + k * 0.01f, 1 + k * 0.001f);
    return out;
}

int Gaps(const RecordedRun &run) {
    int gaps = 0;
    for (qint64 k = 0; k < run.Samples().Size(); ++k)
        gaps += !run.Samples().at(k).Present();
    return gaps;
}

void WriteFile(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode = {}) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | mode));
    f.write(bytes);
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void reader_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("samples"); // readings kept
        QTest::addColumn<int>("gaps");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("said"); // Problems(), or the reason it does not open
        const QByteArray head = Recording::Header();
        const QString tricky = QStringLiteral("Set 12.0 V, 1.00 A, \"quoted\"\nsecond line");
        QTest::newRow("events with commas, quotes and a line break")
            << head + EventAt(0, QStringLiteral("recording started, interval 0.5 s")) +
                   Samples(0, 4) + EventAt(2, tricky) + Samples(2, 4)
            << 8 << 0 << QStringList{QStringLiteral("recording started, interval 0.5 s"), tricky}
            << QString();
        QTest::newRow("lines without a reading are one gap")
            << head + Samples(0, 3) + Line(1.5, -1, -1) + Line(2, -1, -1) + Samples(2.5, 3) << 6
            << 1 << QStringList() << QString();
        QTest::newRow("a missed stretch is a gap, jitter is not")
            << head + Samples(0, 3) + Line(1.55, 5, 1) + Samples(10, 3) << 7 << 1 << QStringList()
            << QString();
        QTest::newRow("two recordings in one file")
            << head + Samples(0, 3) + head + Samples(1.5, 3) << 6 << 1 << QStringList()
            << QString();
        QByteArray dst = head + Samples(0, 2);
        dst += QByteArray(Line(1, 12, 1)).replace("T10:00:01.000+01:00", "T11:00:01.000+02:00");
        QTest::newRow("a daylight-saving change") << dst << 3 << 0 << QStringList() << QString();
        QTest::newRow("a half last line") << head + Samples(0, 3) + Line(1.5, 12, 1).left(20) << 3
                                          << 0 << QStringList()
                                          << QStringLiteral("1 line could not be read, at line 5");
        QByteArray bad = head + Samples(0, 2) + QByteArray(40, '\0') + '\n';
        bad += QByteArray(Line(1, 12, 1)).replace(",12.00,", ",1x.00,");
        bad += Line(0.2, 12, 1) + Samples(1, 2);
        QTest::newRow("zeros, a garbled number, time backwards")
            << bad << 4 << 0 << QStringList()
            << QStringLiteral("3 lines could not be read, the first at line 4");
        QTest::newRow("a foreign CSV") << QByteArray("date,volts,amps\n2026-12-07,1,2\n") << 0 << 0
                                       << QStringList()
                                       << QStringLiteral("not a QVR recording: the header has no "
                                                         "'time' column");
        QTest::newRow("no voltage column")
            << QByteArray("time,current,event\n") << 0 << 0 << QStringList()
            << QStringLiteral("not a QVR recording: the header has no 'voltage' column");
    }
    // Read from a file, and fed in small pieces as a growing file gives them: the same.
    void reader() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, samples);
        QFETCH(int, gaps);
        QFETCH(QStringList, events);
        QFETCH(QString, said);
        const QString path = dir.filePath(QStringLiteral("r.csv"));
        WriteFile(path, bytes);
        RecordedRun run;
        try {
            run.Open(path);
        } catch (const std::runtime_error &e) {
            QCOMPARE(QString::fromStdString(e.what()), said);
            return;
        }
        RecordedRun pieces;
        for (qsizetype at = 0; at < bytes.size(); at += 7)
            pieces.Feed(bytes.constData() + at, std::min<qsizetype>(7, bytes.size() - at));
        for (const RecordedRun *r : {&run, &pieces}) {
            QCOMPARE(r->Samples().Size() - Gaps(*r), samples);
            QCOMPARE(Gaps(*r), gaps);
            QStringList texts;
            for (const Event &e : r->Events())
                texts << e.text;
            QCOMPARE(texts, events);
            QCOMPARE(r->Problems(), said);
        }
        if (QString(QTest::currentDataTag()).startsWith(u"a daylight")) {
            // One clock across the change: the time runs on by half a second, not an hour.
            QCOMPARE(run.Samples().at(2).t, 1.0);
            QCOMPARE(run.OffsetAt(0.5), 3600);
            QCOMPARE(run.OffsetAt(1.0), 7200);
            const auto ticks = TimeTicks(0, 1, 1000, run.FirstMs(),
                                         [&run](double t) { return run.OffsetAt(t); });
            QCOMPARE(ticks.front().clock, QStringLiteral("7 Dec 10:00:00.0"));
            QCOMPARE(ticks.back().clock, QStringLiteral("11:00:01.0"));
        }
    }

    // Too large for the memory allowed: said before reading, and the file stays as it was.
    void tooLargeAndUntouched() {
        const QString path = dir.filePath(QStringLiteral("big.csv"));
        WriteFile(path, Recording::Header() + Samples(0, 2000));
        const QDateTime modified = QFileInfo(path).lastModified();
        RecordedRun run;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, run.Open(path, 1000));
        try {
            run.Open(path, 1000);
        } catch (const std::runtime_error &e) {
            QVERIFY(QString(e.what()).startsWith(
                QStringLiteral("big.csv is too large to view: it needs about 1 MB of memory, and "
                               "QVR allows itself 1 MB (half of this computer's)")));
        }
        QCOMPARE(QFileInfo(path).lastModified(), modified);
        QCOMPARE(QFileInfo(path).size(), (Recording::Header() + Samples(0, 2000)).size());
    }

    // The pyramid's extremes and the range statistics against a direct scan, at random zooms,
    // with gaps; a single-sample spike shows at every zoom.
    void pyramidAndStats() {
        SampleColumns s;
        QRandomGenerator random(7);
        const qint64 n = 100000, spike = 61234;
        std::vector<Sample> plain;
        for (qint64 k = 0; k < n; ++k) {
            Sample x{k * 0.5, float(10 + random.bounded(1.0)), float(random.bounded(1.0))};
            if (k == spike)
                x.i = 9;
            if (random.bounded(1000) == 0)
                x.v = x.i = NAN;
            s.Append(x);
            plain.push_back(x);
        }
        for (int round = 0; round < 300; ++round) {
            const qint64 a = random.bounded(int(n)), b = a + random.bounded(int(n - a)) + 1;
            Extremes direct;
            StretchStats::Accumulator acc;
            for (qint64 k = a; k < b; ++k)
                direct.Add(plain[size_t(k)]), acc.Add(plain[size_t(k)].t, plain[size_t(k)].v,
                                                      plain[size_t(k)].i);
            const Extremes e = s.Range(a, b);
            QCOMPARE(e.vMin, direct.vMin);
            QCOMPARE(e.vMax, direct.vMax);
            QCOMPARE(e.iMax, direct.iMax);
            const StretchStats::Stats got = s.Stats(a, b - 1), want = acc.Result();
            QCOMPARE(got.samples, want.samples);
            QCOMPARE(got.gaps, want.gaps);
            QCOMPARE(got.skipped, want.skipped);
            QVERIFY(std::abs(got.ah - want.ah) <= 1e-9 * std::max(1.0, want.ah));
            QVERIFY(std::abs(got.wh - want.wh) <= 1e-9 * std::max(1.0, want.wh));
            QVERIFY(std::abs(got.vMean - want.vMean) <= 1e-9);
            // The search from a known earlier sample finds what the whole search finds.
            const double t = random.bounded(double(n) / 2);
            const qint64 k = s.LowerBound(t);
            QCOMPARE(k, qint64(std::ceil(t * 2)));
            QCOMPARE(s.LowerBound(t, k - random.bounded(int(std::min<qint64>(k, 5000)) + 1)), k);
            // Any pixel column holding the spike shows it, however wide.
            const qint64 width = 1 + random.bounded(50000);
            const qint64 from = std::max<qint64>(0, spike - random.bounded(int(width)));
            QCOMPARE(s.Range(from, from + width).iMax, 9.0f);
        }
    }

    // The viewer as the operator drives it: wheel, drag, Shift-drag, keys, clicks for the
    // cursors, the statistics between them, and the stretch saved.
    void viewer() {
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        QByteArray bytes = Recording::Header() +
                           EventAt(0, QStringLiteral("recording started, interval 0.5 s")) +
                           Samples(0, 7200) + EventAt(3600, QStringLiteral("Set 5.0 V, 1.00 A"));
        WriteFile(path, bytes);
        ScriptedDialogs dialogs;
        QString error;
        std::unique_ptr<HistoryWindow> w(HistoryWindow::Open(path, dialogs, error));
        QVERIFY2(w, qPrintable(error));
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->windowTitle(), QStringLiteral("run.csv - QVR"));
        HistoryChart &chart = w->Chart();
        QCOMPARE(chart.T0(), 0.0);
        QCOMPARE(chart.T1(), 3600.0);
        QVERIFY(Banded(w->Run().Samples(), chart.T0(), chart.T1(), chart.width() / 2));
        const QRect area = TraceArea(chart.rect(), chart.fontMetrics());
        // Two notches in around the middle: 1.5 squared narrower, the middle stays put.
        const QPointF middle = area.center();
        const double atMiddle = Plot{area, chart.T0(), chart.T1()}.T(middle.x());
        QWheelEvent wheel(middle, chart.mapToGlobal(middle), {}, {0, 240}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&chart, &wheel);
        QVERIFY(std::abs((chart.T1() - chart.T0()) - 3600.0 / 2.25) < 1e-6);
        QVERIFY(std::abs(Plot{area, chart.T0(), chart.T1()}.T(middle.x()) - atMiddle) < 1e-6);
        // A drag to the right by a tenth of the width moves the view back by a tenth.
        const double t0 = chart.T0(), span = chart.T1() - chart.T0();
        const QPoint from = area.center(), to = from + QPoint(area.width() / 10, 0);
        QTest::mousePress(&chart, Qt::LeftButton, {}, from);
        QTest::mouseMove(&chart, from + QPoint(5, 0));
        QTest::mouseMove(&chart, to);
        QTest::mouseRelease(&chart, Qt::LeftButton, {}, to);
        QVERIFY(std::abs(chart.T0() - (t0 - span * (area.width() / 10) / area.width())) < 1e-6);
        QVERIFY(!chart.CursorA()); // a drag sets no cursor
        // Keys: Home shows the whole run, + zooms in, Shift-drag zooms to the dragged stretch.
        QTest::keyClick(&chart, Qt::Key_Plus);
        QVERIFY(std::abs((chart.T1() - chart.T0()) - span / 1.5) < 1e-6);
        QTest::keyClick(&chart, Qt::Key_Home);
        QCOMPARE(chart.T1() - chart.T0(), 3600.0);
        const Plot whole{area, chart.T0(), chart.T1()};
        const int x0 = int(whole.X(1000)), x1 = int(whole.X(1010));
        QTest::mousePress(&chart, Qt::LeftButton, Qt::ShiftModifier, {x0, area.center().y()});
        QTest::mouseMove(&chart, {x0 + 5, area.center().y()});
        QTest::mouseMove(&chart, {x1, area.center().y()});
        QTest::mouseRelease(&chart, Qt::LeftButton, Qt::ShiftModifier, {x1, area.center().y()});
        QVERIFY(chart.T0() > 995 && chart.T1() < 1015 && chart.T1() - chart.T0() < 16);
        QVERIFY(!Banded(w->Run().Samples(), chart.T0(), chart.T1(), area.width()));
        // Cursors on samples: a click puts A, a second B; the statistics are between them.
        const Plot zoomed{area, chart.T0(), chart.T1()};
        QTest::mouseClick(&chart, Qt::LeftButton, {}, {int(zoomed.X(1001)), 50});
        QTest::mouseClick(&chart, Qt::LeftButton, {}, {int(std::ceil(zoomed.X(1006))), 50});
        QCOMPARE(chart.CursorA(), qint64(2002));
        QCOMPARE(chart.CursorB(), qint64(2012));
        const StretchStats::Stats stats = chart.Stats();
        QCOMPARE(stats.samples, 11);
        QCOMPARE(stats.seconds, 5.0);
        QVERIFY(std::abs(*stats.dV - 0.1) < 1e-5);
        QVERIFY(w->findChild<StatsPanel *>()->PlainText().contains(QStringLiteral("5.0 s")));
        // The stretch saved: the header, then the eleven lines between the cursors.
        const QString stretch = dir.filePath(QStringLiteral("stretch.csv"));
        dialogs.expectSave(stretch);
        w->SaveStretch->trigger();
        QVERIFY(dialogs.allShown());
        QFile saved(stretch);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QByteArray want = Recording::Header();
        for (const QByteArray &line : bytes.split('\n').mid(2 + 2002, 11))
            want += line + '\n';
        QCOMPARE(saved.readAll(), want);
        // And the chart as an image, with the statistics beneath.
        const QString image = dir.filePath(QStringLiteral("chart.png"));
        dialogs.expectSave(image);
        w->SaveImage->trigger();
        QVERIFY(dialogs.allShown());
        QCOMPARE(QImage(image).size(), QSize(1600, 1000));
        // Ctrl+L keeps the whole run's scales.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(&chart, Qt::Key_L, Qt::ControlModifier);
        QVERIFY(w->FixedScales->isChecked() && chart.FixedScales());
        QCOMPARE(chart.SceneNow().scales.volt.max, Fit(w->Run().Samples().Range(0, 7200)).volt.max);
        // Escape clears the cursors; an event picked in the list centres the view on it.
        QTest::keyClick(&chart, Qt::Key_Escape);
        QVERIFY(!chart.CursorA() && !chart.CursorB());
        auto *events = w->findChild<QListWidget *>(QStringLiteral("Events"));
        QCOMPARE(events->count(), 2);
        const double shown = chart.T1() - chart.T0();
        events->setCurrentRow(1);
        QCOMPARE(chart.T1(), 3600.0); // as near the middle as the run's end lets it
        events->setCurrentRow(0);
        QCOMPARE(chart.T0(), 0.0);
        QCOMPARE(chart.T1() - chart.T0(), shown);
    }

    // A recording still being written grows in the view, which follows its end; one replaced
    // by a shorter file is read anew.
    void follows() {
        const QString path = dir.filePath(QStringLiteral("growing.csv"));
        WriteFile(path, Recording::Header() + Samples(0, 100));
        ScriptedDialogs dialogs;
        QString error;
        std::unique_ptr<HistoryWindow> w(HistoryWindow::Open(path, dialogs, error));
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->show();
        HistoryChart &chart = w->Chart();
        QTest::keyClick(&chart, Qt::Key_Plus);
        QTest::keyClick(&chart, Qt::Key_End);
        QCOMPARE(chart.T1(), 49.5);
        WriteFile(path, Samples(50, 20) + Line(60, 12, 1).left(10), QIODevice::Append);
        QTRY_COMPARE_WITH_TIMEOUT(w->Run().Samples().Size(), qint64(120), 1500);
        QCOMPARE(chart.T1(), 59.5); // followed, as wide as before
        QCOMPARE(chart.T1() - chart.T0(), 33.0);
        QCOMPARE(w->Run().Problems(), QStringLiteral("1 line could not be read, at line 122"));
        WriteFile(path, Line(60, 12, 1).mid(10), QIODevice::Append); // the half line completed
        QTRY_COMPARE_WITH_TIMEOUT(w->Run().Samples().Size(), qint64(121), 1500);
        QCOMPARE(w->Run().Problems(), QString());
        WriteFile(path, Recording::Header() + Samples(0, 10));
        QTRY_COMPARE_WITH_TIMEOUT(w->Run().Samples().Size(), qint64(10), 1500);
        QCOMPARE(chart.T1(), 4.5);
        // Replaced by a longer recording of another day: read anew, not appended to this one.
        QByteArray other = Recording::Header() + Samples(0, 30);
        other.replace("2026-12-07", "2026-12-08");
        WriteFile(path, other);
        QTRY_COMPARE_WITH_TIMEOUT(w->Run().Samples().Size(), qint64(30), 1500);
        QCOMPARE(w->Run().Problems(), QString());
    }

    // "Open Recording..." clicked on the Data Log's toolbar and picked in its chart menu opens a
    // viewer beside the run, which closes with the main window.
    void openFromDataLog() {
        const QString path = dir.filePath(QStringLiteral("menu.csv"));
        WriteFile(path, Recording::Header() + Samples(0, 10));
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        w.show();
        w.Tab1->setCurrentWidget(w.dataLogPage);
        f.dialogs.expectOpen(path);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget *button =
            w.dataLogPage->Toolbar1->widgetForAction(w.dataLogPage->Commands->OpenRecording);
        QVERIFY(button && button->isVisible()); // on the toolbar itself, not behind its arrow
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(f.dialogs.allShown());
        QPointer<HistoryWindow> viewer;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *h = qobject_cast<HistoryWindow *>(top))
                viewer = h;
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("menu.csv - QVR"));
        const QString missing = dir.filePath(QStringLiteral("missing.csv"));
        f.dialogs.expectOpen(missing);
        QFile absent(missing); // the system's own words for it
        QVERIFY(!absent.open(QIODevice::ReadOnly));
        f.dialogs.expectMsg(QStringLiteral("Cannot open %1: %2")
                                .arg(QDir::toNativeSeparators(missing), absent.errorString()),
                            Dialogs::Answer::Ok, Dialogs::Icon::Exclamation);
        w.dataLogPage->Commands->MnuOpenRec->trigger();
        QVERIFY(f.dialogs.allShown());
        // A .csv dropped on the window opens too; anything else is not taken.
        const auto drop = [&w](const QString &file) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(file)});
            QDragEnterEvent enter({20, 20}, Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(&w, &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(&w, &dropped);
            return true;
        };
        QVERIFY(!drop(dir.filePath(QStringLiteral("notes.txt"))));
        QVERIFY(drop(path));
        int viewers = 0;
        for (QWidget *top : QApplication::topLevelWidgets())
            viewers += qobject_cast<HistoryWindow *>(top) && top->isVisible();
        QCOMPARE(viewers, 2);
        w.close();
        QTRY_VERIFY(!viewer);
    }
};

QTEST_MAIN(TestHistory)
#include "test_history.moc"
