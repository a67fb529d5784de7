// qvr-tour: walks the main window through the operator's guide against a real port, doing what an
// operator does on each page, and stops at every scene for scripts/screenshots.sh to photograph
// it: "SHOT <name> <window id>" on stdout, then a line on stdin once the picture is taken, and
// "PDF <name> <file>" for the printed page. Not installed: it exists to keep the pictures honest.
#include "ChartScale.h"
#include "ChartSurface.h"
#include "Clock.h"
#include "DataLogPage.h"
#include "GridEditor.h"
#include "Module1.h"
#include "Panel.h"
#include "ProgramPages.h"
#include "PropertiesFrm.h"
#include "QtDialogs.h"
#include "SerialComm1.h"
#include "TabbedFrm.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPrinter>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

QString outDir;

// The real boxes, except those the tour answers itself as an operator would: the first start's
// not-ready message and limits (30 V, 3 A), the Options dialog's question about a new sampling
// interval, and the files, which go to the output folder.
class TourDialogs : public QtDialogs {
public:
    Answer MsgBox(const QString &text, Buttons, Icon, const QString &) override {
        if (text == QLatin1String("Are you really doing it ?"))
            return Answer::Yes;
        if (text == Module1::NotReadyMsg)
            return Answer::Ok;
        // Any other box means the tour went astray: say so rather than wait for an answer.
        std::fprintf(stderr, "qvr-tour: unexpected box: %s\n", qPrintable(text));
        std::exit(1);
    }
    std::optional<QString> InputBox(const QString &prompt, const QString &,
                                    const QString &) override {
        return prompt.contains(QLatin1String("voltage")) ? QStringLiteral("30")
                                                         : QStringLiteral("3");
    }
    std::optional<QString> SaveFileName(const QString &, const QString &fileName, const QString &,
                                        const QString &) override {
        return QDir(outDir).filePath(fileName.section(u'/', -1));
    }
    bool PrintSetup(QPrinter &printer) override {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir(outDir).filePath(QStringLiteral("printed.pdf")));
        return true;
    }
};

// Lets the window run, poll and paint for a while.
void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void say(const QString &line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The window as it is now, photographed by the script before the tour goes on.
void shot(const QString &name, QWidget *window) {
    settle(700);
    say(QStringLiteral("SHOT %1 %2").arg(name).arg(window->winId()));
    char answer[64];
    if (!std::fgets(answer, sizeof answer, stdin))
        std::exit(1);
}

void sendMouse(QWidget *w, QEvent::Type type, QPointF at, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void typeScale(DataLogPage *page, int field, const QString &text) {
    page->Combo3[size_t(field)]->setEditText(text);
    page->Combo3_KeyUp(field, ChartScale::KeyEnter);
}

void tour(TabbedFrm &w, const QString &device, int waitS) {
    Panel *panel = w.panel;
    InternalPage *in = w.internalPage;
    ExternalPage *ex = w.externalPage;
    PresetPage *pr = w.presetPage;
    DataLogPage *log = w.dataLogPage;

    // A first start: Options, port 1 given the supply's device, half-second sampling for the
    // chart to come; then Reset finds the supply. The system lists no pseudo-terminal among its
    // serial ports, so the tour puts the simulated supply's in the list, as an adapter would be.
    QTimer::singleShot(500, [device] {
        auto *d = qobject_cast<PropertiesFrm *>(QApplication::activeModalWidget());
        if (!d)
            std::exit(1);
        d->SSTab1->setCurrentIndex(1);
        d->CboDevice->addItem(device, device);
        d->CboDevice->setCurrentIndex(d->CboDevice->count() - 1);
        emit d->CboDevice->activated(d->CboDevice->currentIndex());
        shot(QStringLiteral("options"), d);
        d->SSTab1->setCurrentIndex(0);
        d->CboAS->setCurrentText(QStringLiteral("0.5s"));
        d->CmdOK_Click();
    });
    panel->Command4_Click(2);
    if (!Module1::Connected)
        panel->Command4_Click(1); // Reset: look for the supply on the port
    if (!Module1::Connected)
        std::exit(1);
    // As an operator would, a moment before the first read: at 9600 baud the tail of GMAX's
    // reply to Reset (14 characters, 11 waited for) can still be arriving, and GETP's tries back
    // to back would each take the last one's tail.
    settle(1000);

    // Internal page: the supply's own program read back, stored as a table and run endlessly.
    w.Tab1->setCurrentIndex(0);
    in->Command0_Click(1); // Read from power supply
    if (in->FGrid->TextMatrix(1, 1) == QLatin1String("00.0")) {
        std::fprintf(stderr, "qvr-tour: the supply holds no program to show\n");
        std::exit(1);
    }
    in->Combo0[0]->setEditText(QStringLiteral("demo"));
    in->Command0_Click(4); // Save Table
    in->Combo0[1]->setEditText(QStringLiteral("0"));
    in->Command0_Click(0); // Run
    settle(2500);
    shot(QStringLiteral("internal"), &w);

    // Data Log: a recording running, minutes of the program's steps, two cursors and the
    // pointer on a third sample.
    w.Tab1->setCurrentIndex(3);
    log->StartRecording(QDir(outDir).filePath(QStringLiteral("run.csv")));
    typeScale(log, ChartScale::TimeDiv, QStringLiteral("10"));
    log->Combo3[ChartScale::TimeDiv]->lineEdit()->deselect();
    log->Picture1->setFocus();
    settle(waitS * 1000);
    ChartSurface *chart = log->Picture1;
    const double slotPx = chart->width() / 200.0; // 100 s of half-second samples
    const auto at = [&](int slot) { return QPointF((slot - 2) * slotPx, chart->height() / 3.0); };
    for (int slot : {24, 84}) {
        sendMouse(chart, QEvent::MouseButtonPress, at(slot), Qt::LeftButton);
        sendMouse(chart, QEvent::MouseButtonRelease, at(slot), Qt::LeftButton);
    }
    sendMouse(chart, QEvent::MouseMove, at(140), Qt::NoButton);
    shot(QStringLiteral("datalog"), &w);
    log->MnuPrin_Click();
    say(QStringLiteral("PDF printed %1").arg(QDir(outDir).filePath(QStringLiteral("printed.pdf"))));
    log->StopRecording();
    w.Tab1->setCurrentIndex(0);
    in->Command0_Click(0); // Stop

    // External page: a ramp stepped by the computer, on its second step.
    w.Tab1->setCurrentIndex(1);
    ex->Text1->setText(QStringLiteral("6"));
    ex->NewTable();
    for (int r = 1; r <= 6; ++r)
        ex->FGrid->SetDataRow(r,
                              {QString::number(r), Module1::Format(2.0 * r, QStringLiteral("00.0")),
                               QStringLiteral("1.50"), QStringLiteral("00"), QStringLiteral("05")});
    ex->Combo1[0]->setEditText(QStringLiteral("ramp"));
    ex->Command1_Click(3); // Save Table
    ex->Combo1[1]->setEditText(QStringLiteral("2"));
    ex->Command1_Click(0); // Run
    settle(6500);
    shot(QStringLiteral("external"), &w);
    ex->Command1_Click(0); // Stop

    // Preset page: the nine memories read back, memory 4 recalled.
    w.Tab1->setCurrentIndex(2);
    pr->Command2_Click(1); // Read from power supply
    pr->FGrid->SetOption(4, true);
    pr->Command2_Click(0); // Run
    settle(1500);
    shot(QStringLiteral("preset"), &w);

    // Options again, its monitoring page as an operator turning it on sees it; cancelled.
    QTimer::singleShot(500, [] {
        auto *d = qobject_cast<PropertiesFrm *>(QApplication::activeModalWidget());
        if (!d)
            std::exit(1);
        d->SSTab1->setCurrentIndex(2);
        d->ChkMetrics->setChecked(true);
        d->EdtBenchName->setText(QStringLiteral("bench A"));
        shot(QStringLiteral("options-remote"), d);
        d->CmdCancel_Click();
    });
    panel->Command4_Click(2);
    w.close();
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVR2"));
    const QStringList args = QApplication::arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: qvr-tour DATA_DIR OUT_DIR DEVICE CHART_SECONDS\n");
        return 2;
    }
    outDir = args[2];
    SerialComm1 port;
    TourDialogs dialogs;
    TabbedFrm window(port, dialogs, SystemClock::instance(),
                     QDir(args[1]).filePath(Database::FileName));
    dialogs.setParent(&window);
    if (!window.Form_Load())
        return 1;
    window.show();
    window.Form_Activate();
    QTimer::singleShot(1500, [&] { tour(window, args[3], args[4].toInt()); });
    return QApplication::exec();
}
