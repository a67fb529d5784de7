#include "TabbedFrm.h"

TabbedFrm::TabbedFrm(Comm1 &port, Dialogs &dialogs, Clock &clock, QWidget *parent)
    : QMainWindow(parent), comm1_(port), dialogs_(dialogs), clock_(clock) {
    setWindowTitle(NormalTitle(QStringLiteral("Internal Timed Program")));
    resize(900, 600);
}

QString TabbedFrm::NormalTitle(const QString &pageCaption) {
    return QStringLiteral(" QVR 2.0") + QStringLiteral(" [") + pageCaption.trimmed() + u']';
}
