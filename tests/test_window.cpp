// The main window's start-up, reconnect, polling and shutdown against the in-process supply.
#include "DataLogPage.h"
#include "KeepAwake.h"
#include "Database.h"
#include "Module1.h"
#include "Panel.h"
#include "ProgramPages.h"
#include "QtDialogs.h"
#include "SignalCloser.h"
#include "SystemFace.h"
#include "WindowFixture.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QTest>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <csignal>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace Module1;

#ifndef Q_OS_WIN
// logind as far as QVR uses it, on a bus of the test's own: each Inhibit hands out the write end
// of a pipe, whose read end sees its end once QVR lets go.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QList<QStringList> calls;
    QList<int> readEnds;
    bool Released(int i) const { // the inhibitor's descriptor closed everywhere
        char byte;
        return ::read(readEnds.value(i, -1), &byte, 1) == 0;
    }
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode) {
        calls << QStringList{what, who, why, mode};
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
        readEnds << fds[0];
        QDBusUnixFileDescriptor fd(fds[1]);
        ::close(fds[1]);
        return fd;
    }
};
#endif

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    // No login manager, whatever the machine has (also when run outside ctest): the window's
    // sleep inhibitor fails alike everywhere (keptAwake gives one of its own).
    void initTestCase() { qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/qvr"); }

    // A first start asks for the limits in two boxes: an answer that is no usable limit is
    // refused with its reason and asked again; Cancel ends the program.
    void limitAnswers_data() {
        QTest::addColumn<QStringList>("volt"); // answers in order; all but the last are refused
        QTest::addColumn<QStringList>("curr"); // empty: the box is never shown
        QTest::addColumn<float>("maxVolt");    // -1: the program ends
        QTest::addColumn<float>("maxCurr");
        auto row = [](const char *name, QStringList v, QStringList c, float mv, float mc) {
            QTest::newRow(name) << v << c << mv << mc;
        };
        row("cancel first", {"<cancel>"}, {}, -1, -1);
        row("empty, then cancel", {"", "<cancel>"}, {}, -1, -1);
        row("cancel second", {"12"}, {"<cancel>"}, -1, -1);
        row("unusable, then usable", {"12V", "1e300", "100", "-5", "30"},
            {"abc", "inf", "9.995", "3"}, 30, 3);
        row("comma and rounding", {"12,34"}, {" 1.255 "}, 12.3f, 1.26f);
        row("field maxima", {"99.9"}, {"9.99"}, 99.9f, 9.99f);
        row("zero", {"0"}, {"0"}, 0, 0);
    }
    void limitAnswers() {
        QFETCH(QStringList, volt);
        QFETCH(QStringList, curr);
        QFETCH(float, maxVolt);
        QFETCH(float, maxCurr);
        WindowFixture f;
        TabbedFrm &w = f.make();
        f.dialogs.expectMsg("The Power Supply is not ready .\r\nMake sure the Power Supply "
                            "is\r\nturned on and connected to the computer .");
        auto expect = [&](const QStringList &answers, const QString &prompt, const QString &why) {
            for (int i = 0; i < answers.size(); ++i) {
                const QString &a = answers[i];
                f.dialogs.expectInput(prompt,
                                      a == "<cancel>" ? std::nullopt : std::optional<QString>(a));
                if (i + 1 < answers.size())
                    f.dialogs.expectMsg(why);
            }
        };
        expect(volt, "Input max voltage value please .",
               "The maximum voltage must be a number from 0 to 99.9 .");
        expect(curr, "Input max current value please .",
               "The maximum current must be a number from 0 to 9.99 .");
        QCOMPARE(w.Form_Load(), maxVolt >= 0);
        QVERIFY(f.dialogs.allShown());
        QVERIFY(f.dialogs.shown[0].title.isEmpty()); // the application title "QVR2"
        QCOMPARE(f.dialogs.defaults.first(), QString("00.0"));
        if (maxVolt < 0) {
            QCOMPARE(w.exitCode(), 1);
            return;
        }
        QVERIFY(MaxVolt == maxVolt && MaxCurr == maxCurr && MeasVolt == -1);
        QCOMPARE(f.dialogs.defaults.last(), QString("0.00"));
        // A first start: nothing sent, empty boxes, a new database without tables.
        QVERIFY(!f.port.PortOpen() && f.port.sent.isEmpty());
        QCOMPARE(w.panel->Text2[0]->text() + w.panel->Text2[1]->text(), QString("00.0V0.00A"));
        QCOMPARE(w.windowTitle(), QString(" QVR 2.0 [Internal Timed Program]"));
        w.Form_Activate();
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(QFile::exists(f.dbPath()) && w.db().TableNames().isEmpty());
    }

    void startUpAndShutdownInOrder() {
        WindowFixture f;
        f.supply.Receive("VOLT123\r", 0);
        TabbedFrm &w = f.startConnected();
        QVERIFY(f.dialogs.allShown());
        QCOMPARE(f.port.sent, QByteArray("GMAX\rGETD\rSESS\r"));
        // SESS clears only the receive buffer.
        QCOMPARE(f.port.events.mid(f.port.events.size() - 2),
                 QStringList({"clear-in", "out:SESS\r"}));
        QVERIFY(Connected && MaxVolt == 30 && w.Timer1->isActive() && w.Timer1->interval() == 300);
        QCOMPARE(QStringList({w.panel->Label5[0]->text(), w.panel->Label5[1]->text(),
                              w.panel->Text2[0]->text(), w.panel->Text2[1]->text(),
                              w.panel->Picture0->text()}),
                 QStringList({"12.3", "1.23", "12.3V", "1.23A", "Port 1\nconnected"}));
        QCOMPARE(Panel::TextColor(w.panel->Label5[3]), Panel::Yellow);
        QCOMPARE(Panel::TextColor(w.panel->Label5[2]), Panel::DarkGrey);

        w.Timer1_Timer();
        QVERIFY(f.port.sent.endsWith("SESS\rGETD\r"));
        w.close();
        QVERIFY(f.port.sent.endsWith("GETD\rENDS\r") && CurCmd == "ENDS");
        QVERIFY(!f.port.PortOpen() && !w.db().IsOpen());
    }

    // SIGTERM at any moment ends the program in order, with the real dialogs: the open box
    // closes, ENDS goes out once, and nothing of start-up or the handler goes on after it.
    void signalEndsTheProgramInOrder_data() {
        QTest::addColumn<int>("boxesAnswered"); // first-run boxes answered before the signal
        QTest::addColumn<bool>("connected");
        QTest::newRow("not-ready message") << 0 << false;
        QTest::newRow("max voltage box") << 1 << false;
        QTest::newRow("max current box") << 2 << false;
        QTest::newRow("main window") << -1 << true;
        QTest::newRow("options dialog") << 0 << true;
    }
    void signalEndsTheProgramInOrder() {
        QFETCH(int, boxesAnswered);
        QFETCH(bool, connected);
        WindowFixture f;
        RememberPortIn(f.dir.path(), 1);
        f.supply.faults.silent = !connected;
        Module1::ResetSharedState();
        QtDialogs dialogs;
        TabbedFrm w(f.port, dialogs, f.clock, f.dbPath());
        dialogs.setParent(&w);
        SignalCloser closer(&w, false);
        int answered = 0;
        QTimer driver;
        connect(&driver, &QTimer::timeout, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box && boxesAnswered >= 0)
                return;
            if (answered++ < boxesAnswered) {
                if (auto *input = qobject_cast<QInputDialog *>(box))
                    input->setTextValue("3");
                qobject_cast<QDialog *>(box)->accept();
                return;
            }
            driver.stop();
#ifdef Q_OS_WIN
            // A logoff, as Windows delivers it: asked first, which stops nothing (another
            // program may still cancel it), then ended.
            auto deliver = [](UINT message, WPARAM yes) {
                MSG msg{nullptr, message, yes, LPARAM(ENDSESSION_LOGOFF), 0, {}};
                qintptr result = 0;
                QAbstractEventDispatcher::instance()->filterNativeEvent("windows_generic_MSG",
                                                                        &msg, &result);
            };
            const QByteArray before = f.port.sent;
            deliver(WM_QUERYENDSESSION, 0);
            deliver(WM_ENDSESSION, FALSE); // cancelled
            QVERIFY(f.port.sent == before && !f.port.sent.contains("ENDS"));
            deliver(WM_ENDSESSION, TRUE);
            QVERIFY(f.port.sent.endsWith("ENDS\r")); // closed before the message returned
#else
            std::raise(SIGTERM);
#endif
        });
        driver.start(20);
        const bool loaded = w.Form_Load();
        QCOMPARE(loaded, connected);
        if (connected) {
            w.show();
            if (boxesAnswered == 0)
                w.panel->Command4_Click(2); // the options dialog, closed by the signal
            else
                QTRY_VERIFY(!driver.isActive());
        }
        QTRY_VERIFY(!f.port.PortOpen());
        QCOMPARE(w.exitCode(), 0);
        QCOMPARE(f.port.sent.count("ENDS"), 1);
        QVERIFY(f.port.sent.endsWith("ENDS\r"));
        QVERIFY(!w.db().IsOpen() && !w.isVisible() && !w.Timer1->isActive());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(MaxVolt, connected ? 30.0f : boxesAnswered >= 2 ? 3.0f : 0.0f);
    }

    // The computer kept awake while a recording or a stepped program runs, and let go after;
    // where no login manager answers, the recording says so once.
    void keptAwake() {
        QCOMPARE(AwakeReason("/tmp/a/run.csv", ""), QString("Recording to run.csv"));
        QCOMPARE(AwakeReason("", "ramp"), QString("Stepping the user table ramp"));
        QCOMPARE(AwakeReason("C:/x/run.csv", "ramp"),
                 QString("Recording to run.csv and stepping the user table ramp"));
        QCOMPARE(AwakeReason("", ""), QString());
#ifndef Q_OS_WIN
        QProcess daemon;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address"});
        QVERIFY(daemon.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        {
            KeepAwake nobody(nullptr, address); // a bus without a login manager
            QSignalSpy failed(&nobody, &KeepAwake::failed);
            nobody.Want("Recording to run.csv");
            QTRY_COMPARE(failed.count(), 1);
            nobody.Want("Stepping the user table ramp"); // not asked again, not said again
            QTest::qWait(100);
            QVERIFY(failed.count() == 1 && !nobody.Held());
            QVERIFY(nobody.Failure().startsWith(
                "the computer may go to sleep: nothing keeps it awake ("));
        }
        QDBusConnection bus = QDBusConnection::connectToBus(address, "logind");
        FakeLogind logind;
        QVERIFY(bus.registerService("org.freedesktop.login1") &&
                bus.registerObject("/org/freedesktop/login1", &logind,
                                   QDBusConnection::ExportAllSlots));
        {
            KeepAwake awake(nullptr, address);
            awake.Want("Recording to run.csv");
            QTRY_VERIFY(awake.Held());
            QCOMPARE(logind.calls.value(0),
                     QStringList({"sleep:idle", "QVR", "Recording to run.csv", "block"}));
            awake.Want("Recording to run.csv and stepping the user table ramp");
            QTRY_VERIFY(logind.Released(0)); // the new one taken first, then the old let go
            QVERIFY(awake.Held() && logind.calls.size() == 2 && !logind.Released(1));
            awake.Want("");
            QTRY_VERIFY(logind.Released(1));
            QVERIFY(!awake.Held());
        }
        bus.unregisterService("org.freedesktop.login1");
        QDBusConnection::disconnectFromBus("logind");
        daemon.kill();
        daemon.waitForFinished();
#endif
        // The window, with the system's bus (none here): the recording says it, once.
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        const QString path = f.dir.filePath("run.csv");
        for (int i = 0; i < 2; ++i) {
            QVERIFY(w.dataLogPage->TryRecording(path).isEmpty());
            QTest::qWait(100);
#ifdef Q_OS_WIN
            QCOMPARE(w.AwakeStatus->text(), QString(KeepAwake::HeldText));
#else
            QVERIFY(w.AwakeStatus->text().isEmpty());
#endif
            w.dataLogPage->StopRecording();
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray lines = file.readAll();
#ifdef Q_OS_WIN
        QVERIFY(!lines.contains("the computer may go to sleep"));
#else
        QVERIFY2(lines.count("the computer may go to sleep: nothing keeps it awake (") == 1, lines.constData());
#endif
        QVERIFY(w.AwakeStatus->text().isEmpty()); // nothing needs it now
    }

    // Start-up asks GMAX four times, a reconnect three; the port a reconnect found is
    // remembered.
    void probesAndTheRememberedPort() {
        WindowFixture f;
        RememberPortIn(f.dir.path(), 1);
        f.supply.faults.scope = "GMAX";
        f.supply.faults.answerFrom = 8; // the 4 of start-up and 3 of a Reset go unanswered
        TabbedFrm &w = f.make();
        f.expectFirstRunPrompts("10", "1");
        QVERIFY(w.Form_Load());
        QVERIFY(!Connected && f.port.PortOpen() && f.port.sent == "GMAX\rGMAX\rGMAX\rGMAX\r");
        f.port.sent.clear();
        f.dialogs.expectMsg(NotReadyMsg);
        w.panel->Command4_Click(1);
        QVERIFY(!Connected && w.Tab1->isEnabled() && w.panel->Command4[1]->isEnabled());
        QCOMPARE(f.port.sent, QByteArray("GMAX\rGMAX\rGMAX\r"));

        // The operator picks port 3 (the options dialog closes and reopens the port).
        f.port.supplyPort = 3;
        f.supply.faults.answerFrom = 10;
        f.port.setPortOpen(false);
        f.port.setCommPort(3);
        f.port.sent.clear();
        w.panel->Command4_Click(1);
        QVERIFY(f.dialogs.allShown() && Connected && MaxVolt == 30);
        QCOMPARE(f.port.sent, QByteArray("GMAX\rGMAX\rGMAX\rGETD\r")); // third attempt answers
        QCOMPARE(w.panel->Text2[0]->text(), QString("00.0"));          // no unit letter here
        QVERIFY(w.Timer1->isActive() && w.Timer2->isActive() && w.Tab1->isEnabled());
        QCOMPARE(w.db().ReadAll("QVRSYS"), QList<QStringList>({{"CommPort", " 3"}}));
        // The same port again is no change of the record (test_store).
    }

    // At the smallest size the window allows, on every page and during a reset countdown:
    // no control clipped below its own minimum, no two side by side overlapping.
    void smallestWindowShowsEverything() {
        SystemFace::Apply(); // as qvr does
        WindowFixture f;
        TabbedFrm &w = f.startConnected();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1, 1);
        QTRY_COMPARE(w.size(), w.minimumSize());
        QVERIFY(w.minimumSize().width() > 600 && w.minimumSize().height() > 400);
        const auto check = [](QWidget *top) {
            QStringList faults;
            for (QWidget *c : top->findChildren<QWidget *>()) {
                if (!c->isVisible() || c->inherits("QTabBar") || c->inherits("QScrollBar"))
                    continue;
                if (c->width() <
                    (c->minimumWidth() ? c->minimumWidth() : c->minimumSizeHint().width()))
                    faults << c->objectName() + " clipped";
                for (QObject *o : c->parentWidget()->children()) {
                    auto *sib = qobject_cast<QWidget *>(o);
                    if (sib && sib != c && sib->isVisible() && !sib->isWindow() && sib < c &&
                        sib->geometry().intersects(c->geometry()))
                        faults << c->objectName() + " over " + sib->objectName();
                }
            }
            return faults;
        };
        for (int page = 0; page < 4; ++page) {
            w.Tab1->setCurrentIndex(page);
            QTest::qWait(20);
            QCOMPARE(check(&w).join(", "), QString());
        }
        // The countdown leaves the panel as it is.
        const QRect set = w.panel->Command4[0]->geometry();
        w.panel->Command4_Click(1);
        w.Timer1_Timer();
        QTest::qWait(20);
        QVERIFY(w.panel->Label5[4]->isVisible());
        QCOMPARE(w.panel->Command4[0]->geometry(), set);
    }

    // The real boxes: Enter answers a question whose Yes destroys stored data with No, and a bare
    // name gets the extension of the file type picked, not the first type's.
    void realBoxes() {
        QtDialogs real;
        Dialogs &dialogs = real;
        for (auto [buttons, answer] : {std::pair{Dialogs::Buttons::YesNoSafe, Dialogs::Answer::No},
                                       {Dialogs::Buttons::YesNo, Dialogs::Answer::Yes}}) {
            QTimer::singleShot(
                0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
            QCOMPARE(dialogs.MsgBox("Are you sure to delete th table 'x' ?", buttons), answer);
        }
        QTimer::singleShot(50, [] {
            QWidget *box = QApplication::activeModalWidget();
            QTest::keyClick(box->findChild<QComboBox *>("fileTypeCombo"), Qt::Key_Down);
            QTest::keyClicks(box->findChild<QLineEdit *>("fileNameEdit"), "chart\r");
        });
        QCOMPARE(dialogs.SaveFileName("Save Chart Image", QDir::tempPath(),
                                      "PNG image (*.png);;SVG drawing (*.svg)", "png"),
                 std::optional<QString>(QDir::temp().filePath("chart.svg")));
    }

    void unreadableDatabaseIsReportedAndKept() {
        WindowFixture f;
        QFile junk(f.dbPath());
        junk.open(QIODevice::WriteOnly);
        junk.write(QByteArray(4096, 'j'));
        junk.close();
        const QByteArray before = ReadFile(f.dbPath());
        TabbedFrm &w = f.make();
        const QString error =
            QString("Cannot open the database %1: file is encrypted or is not a database (wrong "
                    "password or damaged file; it was left unchanged)")
                .arg(QDir::toNativeSeparators(f.dbPath()));
        f.dialogs.expectMsg(error, Dialogs::Answer::Ok, Dialogs::Icon::Exclamation);
        f.expectFirstRunPrompts();
        QVERIFY(w.Form_Load());
        QVERIFY(f.dialogs.allShown());

        // A supply found by "Reset" is used even though its port cannot be remembered.
        f.dialogs.expectMsg(error);
        w.panel->Command4_Click(1);
        QVERIFY(f.dialogs.allShown() && Connected && w.Timer1->isActive() && w.Tab1->isEnabled());
        w.close();
        QCOMPARE(ReadFile(f.dbPath()), before);
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
