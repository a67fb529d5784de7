#include "Clock.h"
#include "QtDialogs.h"
#include "SerialComm1.h"
#include "TabbedFrm.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVR2"));
    SerialComm1 port;
    QtDialogs dialogs;
    TabbedFrm window(port, dialogs, SystemClock::instance());
    dialogs.setParent(&window);
    window.show();
    return QApplication::exec();
}
