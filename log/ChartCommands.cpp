#include "ChartCommands.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// Pointer images drawn at twice their size, so they stay sharp on dense screens.
QCursor DrawnCursor(bool zoom) {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    if (zoom) {
        path.addEllipse(QPointF(26, 26), 17, 17);
        path.moveTo(38, 38);
        path.lineTo(58, 58);
        path.moveTo(17, 26);
        path.lineTo(35, 26);
        path.moveTo(26, 17);
        path.lineTo(26, 35);
    } else {
        const QPointF c(32, 32);
        for (int turn = 0; turn < 4; ++turn) {
            QTransform t;
            t.translate(c.x(), c.y());
            t.rotate(90 * turn);
            path.addPolygon(t.map(QPolygonF({{0, -28}, {-9, -17}, {9, -17}, {0, -28}})));
            path.moveTo(t.map(QPointF(0, -17)));
            path.lineTo(t.map(QPointF(0, 0)));
        }
    }
    for (const auto &[colour, width] : {std::pair{QColor(Qt::white), 9.0}, {Qt::black, 4.0}}) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
    p.end();
    pixmap.setDevicePixelRatio(2);
    return zoom ? QCursor(pixmap, 13, 13) : QCursor(pixmap, 16, 16);
}

} // namespace

ChartCommands::ChartCommands(QWidget *page) : QObject(page) {
    Toolbar1 = new QToolBar(page);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const QStringList captions{"Move", "Zoom", "Save Log", "Delete Log", "Print Log", "Record..."};
    for (int i = 1; i <= 6; ++i) {
        QAction *a = Toolbar1->addAction(captions[i - 1]);
        a->setObjectName(QStringLiteral("Toolbar1_%1").arg(i));
        tools_[size_t(i - 1)] = a;
    }
    ToolButton(6)->setCheckable(true);
    Toolbar1->addSeparator();
    OpenRecording = Toolbar1->addAction(QStringLiteral("Open Recording..."));
    OpenRecording->setObjectName(QStringLiteral("OpenRecording"));
    OpenRecording->setToolTip(QStringLiteral("Read a recording back, zoomed from the whole run "
                                             "down to one sample"));
    ToolButton(6)->setToolTip(QStringLiteral("Record every sample to a file, for as long as it "
                                             "runs"));

    ChartMenu = new QMenu(page);
    ChartMenu->setObjectName(QStringLiteral("ChartMenu"));
    auto item = [this](QAction *&action, const QString &name, const QString &caption,
                       bool checkable = false) {
        action = ChartMenu->addAction(caption);
        action->setObjectName(name);
        action->setCheckable(checkable);
    };
    item(MnuNow, "MnuNow", "Now", true);
    item(MnuLog, "MnuLog", "Log", true);
    ChartMenu->addSeparator();
    item(MnuMove, "MnuMove", "Move");
    item(MnuZoom, "MnuZoom", "Zoom");
    item(MnuExit, "MnuExit", "Cancel move or zoom");
    ChartMenu->addSeparator();
    // The check marks toggle themselves.
    item(MnuVolt, "MnuVolt", "Voltage (move or zoom)", true);
    item(MnuCurr, "MnuCurr", "Current (move or zoom)", true);
    item(MnuTime, "MnuTime", "Time (move or zoom)", true);
    MnuTime->setChecked(true); // Move and Zoom act on something from the first drag
    ChartMenu->addSeparator();
    item(MnuSave, "MnuSave", "Save Log");
    item(MnuDele, "MnuDele", "Delete Log");
    item(MnuExport, "MnuExport", "Export");
    item(MnuPrin, "MnuPrin", "Print Now or Log");
    item(MnuImage, "MnuImage", "Save Chart Image...");
    item(MnuClear, "MnuClear", "Clear Cursors");
    item(MnuRecord, "MnuRecord", "Record...", true);
    item(MnuOpenRec, "MnuOpenRec", "Open Recording...");
    connect(MnuOpenRec, &QAction::triggered, OpenRecording, &QAction::trigger);
    ChartMenu->addSeparator();
    item(MnuDefa, "MnuDefa", "Default");
}

void ChartCommands::SetMode(Mode mode) {
    ToolButton(1)->setEnabled(mode != Mode::Move);
    ToolButton(2)->setEnabled(mode != Mode::Zoom);
}

void ChartCommands::ShowMode(QWidget *page, QWidget *chart, const QList<QWidget *> &arrows) const {
    static const QCursor move = DrawnCursor(false), zoom = DrawnCursor(true);
    if (MoveMode() || ZoomMode()) {
        page->setCursor(MoveMode() ? move : zoom);
        chart->setCursor(MoveMode() ? move : zoom);
    } else {
        page->unsetCursor();
        chart->unsetCursor();
    }
    for (QWidget *w : arrows)
        w->setCursor(Qt::ArrowCursor);
}

LogView::Axes ChartCommands::MarkedAxes() const {
    return {MnuVolt->isChecked(), MnuCurr->isChecked(), MnuTime->isChecked()};
}

void ChartCommands::PopUp(const Choice &choice, QPoint global) {
    MnuNow->setChecked(choice.now);
    MnuLog->setChecked(choice.log);
    MnuLog->setEnabled(choice.logEnabled);
    MnuMove->setEnabled(ToolButton(1)->isEnabled());
    MnuZoom->setEnabled(ToolButton(2)->isEnabled());
    MnuSave->setEnabled(ToolButton(3)->isEnabled());
    MnuDele->setEnabled(ToolButton(4)->isEnabled());
    MnuExport->setText(choice.log ? QStringLiteral("Export Log") : QStringLiteral("Export Now"));
    ChartMenu->popup(global);
}
