#include "Clock.h"
#include "QtDialogs.h"
#include "SerialComm1.h"
#include "SignalCloser.h"
#include "TabbedFrm.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVR2"));

    // QVR_DATA_DIR moves the database elsewhere (the demo keeps its own).
    const Database::Place place = qEnvironmentVariableIsSet("QVR_DATA_DIR")
                                      ? Database::Place{qEnvironmentVariable("QVR_DATA_DIR"), {}}
                                      : Database::DefaultPlace();
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
    return QApplication::exec();
}
