#include "Clock.h"
#include "DataLogPage.h"
#include "QtDialogs.h"
#include "SerialComm1.h"
#include "SignalCloser.h"
#include "TabbedFrm.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVR2"));
    // "--record FILE" starts recording every sample to FILE once the window is up, for runs
    // started unattended (from a script, at log-in).
    const QStringList args = QApplication::arguments();
    const qsizetype record = args.indexOf(QStringLiteral("--record"));
    if ((record > 0 && record + 1 >= args.size()) || (record < 0 && args.size() > 1)) {
        std::fprintf(stderr, "Usage: qvr [--record FILE]\n");
        return 2;
    }

    // QVR_DATA_DIR moves the database elsewhere (the demo keeps its own).
    const Database::Place place = Database::ProgramPlace();
    SerialComm1 port;
    QtDialogs dialogs;
    TabbedFrm window(port, dialogs, SystemClock::instance(),
                     QDir(place.dir).filePath(Database::FileName));
    dialogs.setParent(&window);
    SignalCloser closer(&window);
    if (!place.notice.isEmpty())
        dialogs.MsgBox(place.notice, Dialogs::Buttons::Ok, Dialogs::Icon::Information, {});
    if (!window.Form_Load())
        return window.exitCode();
    window.show();
    window.Form_Activate();
    if (record > 0)
        window.dataLogPage->StartRecording(QFileInfo(args[record + 1]).absoluteFilePath());
    return QApplication::exec();
}
